#pragma once

#include "ui/SettingsPage.h"

class QPlainTextEdit;

namespace dz {

class MarkdownPDFTab : public SettingsPage {
  public:
    MarkdownPDFTab(AppSettings& settings, DesktopServices& services, QWidget* parent = nullptr);

    // The samples the tab converts live.
    static const char* sampleHTML();
    static const char* samplePDFText();

    QPlainTextEdit* markdownExample() const { return markdown_; }
    QPlainTextEdit* pdfAfter() const { return after_; }

  private:
    QPlainTextEdit* markdown_;
    QPlainTextEdit* after_;
};

}  // namespace dz
