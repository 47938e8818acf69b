#include "ui/tabs/CleaningTab.h"

#include <QComboBox>
#include <QGroupBox>
#include <QVBoxLayout>

#include "core/links/URLCleaner.h"

namespace dz {

CleaningTab::CleaningTab(AppSettings& settings, QWidget* parent) : SettingsPage(settings, parent) {
    QVBoxLayout* page = scrollingLayout(this);
    using S = SettingsData;
    using C = CleaningOptions;

    QVBoxLayout* text;
    section(page, QStringLiteral("Text"), &text);
    toggle<&S::cleaning, &C::removeInvisibleCharacters>(
        text, QStringLiteral("Remove invisible characters"),
        QStringLiteral(
            "Zero-width spaces, soft hyphens, direction marks and hidden Unicode tag characters (often "
            "used as AI text watermarks)."));
    toggle<&S::cleaning, &C::normalizeSpaces>(
        text, QStringLiteral("Normalize spaces"),
        QStringLiteral("Turns non-breaking and other unusual spaces into regular spaces."));
    toggle<&S::cleaning, &C::normalizeQuotes>(
        text, QStringLiteral("Straighten quotes"),
        QStringLiteral("\u201CCurly\u201D \u2192 \"straight\", \u2018single\u2019 \u2192 'single'."));
    toggle<&S::cleaning, &C::normalizeNewlines>(
        text, QStringLiteral("Normalize line breaks"),
        QStringLiteral("Unifies line endings, removes trailing spaces and collapses extra blank lines."));
    toggle<&S::cleaning, &C::trimWhitespace>(
        text, QStringLiteral("Trim surrounding whitespace"),
        QStringLiteral("Removes whitespace at the start and end of the copied text."));
    toggle<&S::cleaning, &C::removeFootnoteReferences>(
        text, QStringLiteral("Remove footnote markers"),
        QStringLiteral(
            "Removes [1], [a], [citation needed], [edit] from rich text such as Wikipedia articles."));
    toggle<&S::cleaning, &C::removeMailtoPrefix>(
        text, QStringLiteral("Remove \u201Cmailto:\u201D from email addresses"),
        QStringLiteral("mailto:ada@example.com \u2192 ada@example.com"));

    QVBoxLayout* lists;
    section(page, QStringLiteral("Lists"), &lists);
    toggle<&S::cleaning, &C::normalizeLists>(
        lists, QStringLiteral("Normalize list markers"),
        QStringLiteral(
            "Rewrites bullets and numbered items copied from web pages and documents into a consistent "
            "style."));
    QComboBox* bullets = picker<ListBullet>(
        lists, QStringLiteral("&Bullet style"),
        {{QStringLiteral("\u2022  Bullet"), ListBullet::bullet},
         {QStringLiteral("-  Dash (Markdown)"), ListBullet::dash},
         {QStringLiteral("*  Asterisk"), ListBullet::asterisk}},
        [](const SettingsData& d) { return d.cleaning.listBullet; },
        [this](ListBullet b) { change([&](SettingsData& d) { d.cleaning.listBullet = b; }); });
    onSettings([bullets](const SettingsData& d) { bullets->setEnabled(d.cleaning.normalizeLists); });

    QVBoxLayout* links;
    section(page, QStringLiteral("Links"), &links);
    toggle<&S::cleaning, &C::removeTrackingParameters>(
        links, QStringLiteral("Remove tracking parameters"),
        QStringLiteral("Strips ") + QString::number(URLCleaner::ruleCount()) +
            QStringLiteral(
                "+ known trackers such as utm_*, fbclid, gclid and YouTube/Spotify \u201Csi\u201D. TikTok "
                "links are fully anonymized."));
    toggle<&S::cleaning, &C::unwrapRedirectLinks>(
        links, QStringLiteral("Unwrap redirect links"),
        QStringLiteral(
            "Wrappers such as Google search redirects, Facebook\u2019s link shim and Outlook Safe Links "
            "become the real destination."));
    page->addStretch();
}

}  // namespace dz
