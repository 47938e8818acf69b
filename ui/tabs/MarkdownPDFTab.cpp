#include "ui/tabs/MarkdownPDFTab.h"

#include <QFontDatabase>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QPlainTextEdit>
#include <QVBoxLayout>

#include "core/cleaner/PasteboardCleaner.h"
#include "core/pdf/PDFReflower.h"
#include "ui/QtText.h"
#include "ui/WordDictionary.h"

namespace dz {
namespace {

QPlainTextEdit* sampleView(int lines) {
    auto* view = new QPlainTextEdit;
    view->setReadOnly(true);
    view->setTabChangesFocus(true);
    view->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    view->setFixedHeight(view->fontMetrics().lineSpacing() * lines + 12);
    return view;
}

}  // namespace

const char* MarkdownPDFTab::sampleHTML() {
    return "<h2>Field notes</h2>"
           "<p>Tidal pools are <b>busy</b> places, <i>especially</i> at dawn. "
           "<a href=\"https://example.org/tides?utm_source=newsletter&amp;day=3\">Tide tables</a> help.</p>"
           "<ul><li>Bring boots</li><li>Watch the water</li></ul>"
           "<table><tr><th>Pool</th><th>Species</th></tr>"
           "<tr><td>North</td><td>12</td></tr><tr><td>South</td><td>9</td></tr></table>";
}

const char* MarkdownPDFTab::samplePDFText() {
    return "The survey covered the northern re-\n"
           "gion, where the \xEF\xAC\x81rst measurements were\n"
           "taken in a \xEF\xAC\x82ooded valley over several sea-\n"
           "sons.\n"
           "3\n"
           "Later work con\xEF\xAC\x81rmed the results in the south.";
}

MarkdownPDFTab::MarkdownPDFTab(AppSettings& settings, WordDictionary& dictionary, QWidget* parent)
    : SettingsPage(settings, parent), dictionary_(dictionary) {
    QVBoxLayout* page = scrollingLayout(this);
    using S = SettingsData;

    QVBoxLayout* md;
    section(page, QStringLiteral("Markdown"), &md);
    picker<MarkdownBullet>(
        md, QStringLiteral("&Bullet"),
        {{QStringLiteral("- Dash"), MarkdownBullet::dash},
         {QStringLiteral("* Asterisk"), MarkdownBullet::asterisk},
         {QStringLiteral("+ Plus"), MarkdownBullet::plus}},
        [](const SettingsData& d) { return d.markdown.bullet; },
        [this](MarkdownBullet b) { change([&](SettingsData& d) { d.markdown.bullet = b; }); });
    picker<MarkdownEmphasis>(
        md, QStringLiteral("B&old and italic"),
        {{QStringLiteral("**bold** and *italic*"), MarkdownEmphasis::asterisks},
         {QStringLiteral("__bold__ and _italic_"), MarkdownEmphasis::underscores}},
        [](const SettingsData& d) { return d.markdown.emphasis; },
        [this](MarkdownEmphasis e) { change([&](SettingsData& d) { d.markdown.emphasis = e; }); });
    toggle<&S::markdown, &MarkdownOptions::convertTables>(md, QStringLiteral("Convert &tables"));
    toggle<&S::markdown, &MarkdownOptions::includeImages>(
        md, QStringLiteral("Include &images (web addresses only)"));
    auto* example = new QLabel(QStringLiteral("E&xample"));
    md->addWidget(example);
    markdown_ = sampleView(12);
    markdown_->setAccessibleName(QStringLiteral("Example"));
    markdown_->setAccessibleDescription(QStringLiteral("A sample web page converted with these options."));
    example->setBuddy(markdown_);
    md->addWidget(markdown_);

    QVBoxLayout* pdf;
    section(page, QStringLiteral("PDF"), &pdf);
    toggle<&S::autoDetectPDF>(pdf, QStringLiteral("Fix line breaks &automatically in PDF apps"),
                              QStringLiteral("Document Viewer, Okular, Zathura and other PDF readers."));
    toggle<&S::detectPDFInBrowsers>(
        pdf, QStringLiteral("Also for PDFs open in a b&rowser"),
        QStringLiteral("Checks the tab\u2019s address when you copy (needs Browser access)."));
    toggle<&S::pdf, &PDFOptions::dehyphenate>(
        pdf, QStringLiteral("Rejoin hyphenated words (checked against the dictionary)"));
    toggle<&S::pdf, &PDFOptions::fixLigatures>(pdf,
                                               QStringLiteral("Fix ligatures such as \uFB01 and \uFB02"));
    toggle<&S::pdf, &PDFOptions::removePageNumbers>(pdf, QStringLiteral("Remove page numbers"));
    auto* grid = new QGridLayout;
    auto* beforeTitle = new QLabel(QStringLiteral("Be&fore"));
    auto* afterTitle = new QLabel(QStringLiteral("Aft&er"));
    grid->addWidget(beforeTitle, 0, 0);
    grid->addWidget(afterTitle, 0, 1);
    auto* before = sampleView(7);
    before->setPlainText(QString::fromUtf8(samplePDFText()));
    before->setAccessibleName(QStringLiteral("Before: text as copied from a PDF"));
    beforeTitle->setBuddy(before);
    after_ = sampleView(7);
    after_->setAccessibleName(QStringLiteral("After: the same text repaired"));
    afterTitle->setBuddy(after_);
    grid->addWidget(before, 1, 0);
    grid->addWidget(after_, 1, 1);
    pdf->addLayout(grid);
    pdf->addWidget(caption(QStringLiteral(
        "For other apps, add a rule with \u201CFix PDF line breaks\u201D, or use the \u201CPaste with PDF "
        "line breaks "
        "fixed\u201D shortcut. Two-column layouts and tables in PDFs can\u2019t be fully repaired.")));
    page->addStretch();

    onSettings([this](const SettingsData& d) {
        // The whole engine, so that the cleaning options show too.
        const PasteboardCleaner cleaner(d.cleaning, false, OutputFormat::markdown, d.markdown, d.pdf);
        const auto markdown = cleaner.render(
            ClipboardSnapshot(std::nullopt, std::string(sampleHTML()), std::nullopt, std::nullopt));
        markdown_->setPlainText(markdown ? qstr(markdown->string) : QString());
        const PDFReflower reflower(d.pdf, dictionary_.wordPredicate());
        after_->setPlainText(qstr(reflower.reflow(samplePDFText())));
    });
}

}  // namespace dz
