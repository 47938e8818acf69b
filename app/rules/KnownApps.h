#pragma once

#include <span>
#include <string>
#include <string_view>
#include <unordered_set>
#include <utility>
#include <vector>

namespace dz {

class Workspace;

// Fixed application lists and application lookups. Without a workspace (no
// desktop), no Markdown editor counts as installed and an application's name
// is its identifier.
namespace KnownApps {

struct MarkdownApp {
    std::string_view bundleID;
    std::string_view name;
};

// Copies from these applications are treated as coming from a PDF.
const std::unordered_set<std::string_view>& pdfViewers();
// The Markdown editors, in the order the settings window offers them.
std::span<const MarkdownApp> markdownApps();
bool isMarkdownApp(std::string_view bundleID);

// The Markdown editors the workspace knows to be installed, in table order.
std::vector<MarkdownApp> installedMarkdownApps(const Workspace* workspace);
// A running application's name, else the name its description gives, else
// its file name without extension, else the identifier itself.
std::string appName(std::string_view bundleID, const Workspace* workspace);

}  // namespace KnownApps
}  // namespace dz
