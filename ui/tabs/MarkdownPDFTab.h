#pragma once

#include "ui/SettingsPage.h"

class QPlainTextEdit;

namespace dz {

class WordDictionary;

class MarkdownPDFTab : public SettingsPage {
  public:
    MarkdownPDFTab(AppSettings& settings, WordDictionary& dictionary, QWidget* parent = nullptr);

    // The samples the tab converts live.
    static const char* sampleHTML();
    static const char* samplePDFText();

    QPlainTextEdit* markdownExample() const { return markdown_; }
    QPlainTextEdit* pdfAfter() const { return after_; }

  private:
    WordDictionary& dictionary_;
    QPlainTextEdit* markdown_;
    QPlainTextEdit* after_;
};

}  // namespace dz
