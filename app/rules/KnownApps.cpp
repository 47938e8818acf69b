#include "app/rules/KnownApps.h"

#include <array>
#include <filesystem>

#include "app/platform/Workspace.h"

namespace dz::KnownApps {

namespace {

constexpr std::array<MarkdownApp, 30> markdownTable{{
    {"md.obsidian", "Obsidian"},
    {"net.shinyfrog.bear", "Bear"},
    {"abnerworks.Typora", "Typora"},
    {"pro.writer.mac", "iA Writer"},
    {"com.ulyssesapp.mac", "Ulysses"},
    {"com.github.marktext", "MarkText"},
    {"com.zettlr.app", "Zettlr"},
    {"com.electron.logseq", "Logseq"},
    {"com.agiletortoise.Drafts-OSX", "Drafts"},
    {"com.lukilabs.lukiapp", "Craft"},
    {"com.uranusjr.macdown", "MacDown"},
    {"com.coteditor.CotEditor", "CotEditor"},
    {"com.reflect.ReflectApp", "Reflect"},
    {"com.capacities.app", "Capacities"},
    {"app.tana.desktop", "Tana"},
    {"com.anytype.anytype", "Anytype"},
    {"net.cozic.joplin-desktop", "Joplin"},
    // This desktop's editors
    {"md.obsidian.Obsidian", "Obsidian"},
    {"obsidian", "Obsidian"},
    {"typora", "Typora"},
    {"marktext", "MarkText"},
    {"com.github.marktext.marktext", "MarkText"},
    {"com.zettlr.Zettlr", "Zettlr"},
    {"zettlr", "Zettlr"},
    {"logseq", "Logseq"},
    {"com.logseq.Logseq", "Logseq"},
    {"joplin", "Joplin"},
    {"net.cozic.joplin_desktop", "Joplin"},
    {"org.kde.ghostwriter", "Ghostwriter"},
    {"org.gnome.gitlab.somas.Apostrophe", "Apostrophe"},
}};

}  // namespace

const std::unordered_set<std::string_view>& pdfViewers() {
    static const std::unordered_set<std::string_view> viewers{
        "com.apple.Preview",
        "com.adobe.Acrobat.Pro",
        "com.adobe.Reader",
        "com.adobe.Acrobat",
        "net.sourceforge.skim-app.skim",
        "com.readdle.PDFExpert-Mac",
        "com.readdle.PDFExpert-Mac-Setapp",
        "com.smileonmymac.PDFpenPro",
        "com.goodnotesapp.x",
        "com.highlightsapp.mac",
        "com.zotero.zotero",
        "com.pdfgear.pdfgear",
        "com.foxit-software.Foxit.PDF.Reader",
        // This desktop's viewers
        "org.gnome.Evince",
        "evince",
        "org.kde.okular",
        "okularApplication_pdf",
        "org.pwmt.zathura",
        "zathura",
        "mupdf",
        "qpdfview",
        "atril",
        "xreader",
        "org.gnome.Papers",
    };
    return viewers;
}

std::span<const MarkdownApp> markdownApps() {
    return markdownTable;
}

bool isMarkdownApp(std::string_view bundleID) {
    for (const MarkdownApp& app : markdownTable)
        if (app.bundleID == bundleID)
            return true;
    return false;
}

std::vector<MarkdownApp> installedMarkdownApps(const Workspace* workspace) {
    std::vector<MarkdownApp> installed;
    if (!workspace)
        return installed;
    for (const MarkdownApp& app : markdownTable)
        if (workspace->applicationLocation(app.bundleID))
            installed.push_back(app);
    return installed;
}

std::string appName(std::string_view bundleID, const Workspace* workspace) {
    if (!workspace)
        return std::string(bundleID);
    for (const auto& running : workspace->runningApplications())
        if (running.bundleID == bundleID && running.localizedName)
            return *running.localizedName;
    if (auto location = workspace->applicationLocation(bundleID)) {
        if (auto info = workspace->bundleInfo(*location)) {
            if (info->displayName)
                return *info->displayName;
            if (info->name)
                return *info->name;
            std::filesystem::path path(*location);
            if (!path.has_filename())
                path = path.parent_path();
            return path.stem().string();
        }
    }
    return std::string(bundleID);
}

}  // namespace dz::KnownApps
