// The fake clipboard keeps the promises every backend keeps.
#include "app/platform/fakes/FakePlatform.h"
#include "tests/app/platform/ClipboardContract.h"

namespace dz::test {
namespace {

class FakeClipboardHarness {
  public:
    static constexpr std::string_view copierID = "org.example.Writer";

    Clipboard& clipboard() { return fakes_.clipboard; }
    void copy(const Clipboard::Rendition& items) {
        std::vector<std::pair<std::string, std::string>> pairs;
        for (const auto& item : items) pairs.emplace_back(item.type, item.data);
        fakes_.clipboard.copy(pairs, Clipboard::Party{std::string(copierID), 40});
    }
    std::string requesterID(int requester) { return "org.example.Reader" + std::to_string(requester); }
    std::string paste(int requester) {
        std::optional<std::string> text;
        fakes_.clipboard.paste(Clipboard::Party{requesterID(requester), 50 + requester},
                               [&](const fake::FakeClipboard::Served& served) {
                                   text = itemOf(served.items, pasteboardtype::string).value_or("<no text>");
                               });
        runUntil([&] {
            if (step_ && step_())
                step_ = nullptr;
            return text.has_value();
        });
        return text.value_or("<no answer>");
    }
    void probe() {
        fakes_.clipboard.paste(Clipboard::Party{requesterID(0), 50}, nullptr,
                               fake::FakeClipboard::Reading::types);
    }
    void save() {
        fakes_.clipboard.paste(Clipboard::Party{"org.example.Keeper", 60}, nullptr,
                               fake::FakeClipboard::Reading::save);
    }
    bool runUntil(const std::function<bool()>& done) {
        for (int turn = 0; turn < 100; ++turn) {
            if (done())
                return true;
            fakes_.scheduler.advance(0.01);
        }
        return done();
    }
    void settle() { fakes_.scheduler.runDue(); }
    void whenAsked(std::function<bool()> step) { step_ = std::move(step); }

  private:
    fake::FakePlatform fakes_;
    std::function<bool()> step_;
};

INSTANTIATE_TYPED_TEST_SUITE_P(Fake, ClipboardContract, FakeClipboardHarness);
// The size cap and a hung owner exist only on a real desktop.
GTEST_ALLOW_UNINSTANTIATED_PARAMETERIZED_TEST(RealClipboardContract);

}  // namespace
}  // namespace dz::test
