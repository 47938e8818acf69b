#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "core/script/JavaScriptTransformer.h"

using namespace dz;
using Transformer = JavaScriptTransformer;

namespace {

const std::string busy =
    "A previous script run never finished (infinite loop?). Fix the script and relaunch Dozuzavuvu.";
const std::string noFunction = "The script must define a function named `transform(text)`.";
const std::string notAString = "`transform` must return a string.";
const std::string endless = "function transform(text) { for (;;) {} }";

// The text of a success, or "failure: " and the message.
std::string outcome(const Transformer::Result& result) {
    if (auto* text = std::get_if<std::string>(&result))
        return *text;
    return "failure: " + std::get<Transformer::Failure>(result).message;
}

std::string fails(const std::string& message) {
    return "failure: " + message;
}

std::string script(const std::string& body) {
    return "function transform(text) { " + body + " }";
}

// A stopped script clears the busy flag on its own, shortly after the caller gave up.
bool waitUntilIdle(const Transformer& transformer, double seconds) {
    auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (transformer.isBusy()) {
        if (std::chrono::steady_clock::now() > end)
            return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

}  // namespace

TEST(JavaScriptTransformerTest, TemplateKeepsTextExactly) {
    Transformer transformer;
    EXPECT_TRUE(transformer.templateScript().starts_with(
        "// Define a function named `transform` that receives the cleaned text and returns new text.\n"
        "// It runs after all built-in cleaning steps.\nfunction transform(text) {\n  return text;\n}"));
    EXPECT_FALSE(transformer.templateScript().ends_with("\n"));
    for (std::string text : {std::string(), std::string("caf\xC3\xA9 \xF0\x9F\x98\x80\r\n\t"),
                             std::string("before\0after", 12), std::string(100000, 'x')})
        EXPECT_EQ(outcome(transformer.run(Transformer::templateScript(), text)), text);
    // Two runs in a row: the first cleared the flag.
    EXPECT_FALSE(transformer.isBusy());
}

TEST(JavaScriptTransformerTest, ExamplesDoWhatTheirTitlesSay) {
    const auto& examples = Transformer::examples();
    ASSERT_EQ(examples.size(), 3u);
    EXPECT_EQ(examples[0].title, "Remove all line breaks");
    EXPECT_EQ(examples[1].title, "Join wrapped lines, keep paragraphs (good for PDFs)");
    EXPECT_EQ(examples[2].title, "Lowercase everything");
    EXPECT_NE(examples[1].code.find("\"$1$2\")      // re-join hyphenated words\n"), std::string::npos);
    EXPECT_NE(examples[1].code.find("\"$1 \")    // single newline -> space\n"), std::string::npos);

    Transformer transformer;
    EXPECT_EQ(outcome(transformer.run(examples[0].code, "a \n b\n\nc")), "a b c");
    EXPECT_EQ(outcome(transformer.run(examples[1].code, "hyphen-\nated line\nwrap\n\nnext")),
              "hyphenated line wrap\n\nnext");
    EXPECT_EQ(outcome(transformer.run(examples[2].code, "\xC3\x89T\xC3\x89 ABC")), "\xC3\xA9t\xC3\xA9 abc");
}

TEST(JavaScriptTransformerTest, NeedsAFunctionNamedTransform) {
    Transformer transformer;
    EXPECT_EQ(outcome(transformer.run("var x = 1;", "a")), fails(noFunction));
    EXPECT_EQ(outcome(transformer.run("var transform = 5;", "a")), fails(noFunction));
    EXPECT_EQ(outcome(transformer.run("", "a")), fails(noFunction));
    EXPECT_EQ(outcome(transformer.run("function Transform(t) { return t; }", "a")), fails(noFunction));
    // Lexical declarations are not properties of the global object but still define it.
    EXPECT_EQ(outcome(transformer.run("const transform = (t) => t + '!';", "a")), "a!");
    EXPECT_EQ(outcome(transformer.run("class X {} let transform = function (t) { return t + 1; };", "a")),
              "a1");
}

TEST(JavaScriptTransformerTest, ExceptionsReadAsTheEngineRendersThem) {
    Transformer transformer;
    std::string syntax = outcome(transformer.run("function transform(text) {", "a"));
    EXPECT_TRUE(syntax.starts_with("failure: SyntaxError: ")) << syntax;
    EXPECT_EQ(outcome(transformer.run(script("throw new TypeError('bad input');"), "a")),
              fails("TypeError: bad input"));
    EXPECT_EQ(outcome(transformer.run(script("throw 'plain';"), "a")), fails("plain"));
    EXPECT_EQ(outcome(transformer.run(script("return text.nope.deeper;"), "a")),
              fails("TypeError: undefined is not an object (evaluating 'text.nope.deeper')"));
    // Values that cannot be turned into text.
    EXPECT_EQ(outcome(transformer.run(script("throw Symbol('s');"), "a")), fails("Unknown error"));
    EXPECT_EQ(outcome(transformer.run(script("throw { toString() { throw 1; } };"), "a")),
              fails("Unknown error"));
    // An exception while loading wins over a missing function.
    EXPECT_EQ(outcome(transformer.run("throw new Error('at load');", "a")), fails("Error: at load"));
    std::string deep = outcome(transformer.run(script("return transform(text);"), "a"));
    EXPECT_EQ(deep, fails("RangeError: Maximum call stack size exceeded."));
}

TEST(JavaScriptTransformerTest, ResultMustBeAString) {
    Transformer transformer;
    for (const char* body : {"return 42;", "return null;", "return;", "return {};", "return [text];",
                             "return new String(text);"})
        EXPECT_EQ(outcome(transformer.run(script(body), "a")), fails(notAString)) << body;
    EXPECT_EQ(outcome(transformer.run(script("return '';"), "abc")), "");
}

TEST(JavaScriptTransformerTest, TextCrossesAsUnicode) {
    Transformer transformer;
    // The script sees UTF-16 units, as JavaScript does.
    EXPECT_EQ(outcome(transformer.run(script("return String(text.length);"), "\xF0\x9F\x98\x80\xC3\xA9")),
              "3");
    EXPECT_EQ(outcome(transformer.run(script("return '\\u00e9\\ud83d\\ude00' + text;"), "!")),
              "\xC3\xA9\xF0\x9F\x98\x80!");
    // A lone surrogate cannot be written as UTF-8.
    EXPECT_EQ(outcome(transformer.run(script("return 'a\\ud800b';"), "")),
              "a\xEF\xBF\xBD"
              "b");
    EXPECT_EQ(outcome(transformer.run(script("return 'x\\0y';"), "")), std::string("x\0y", 3));
}

TEST(JavaScriptTransformerTest, EveryRunStartsFromAFreshContext) {
    Transformer transformer;
    const std::string counting =
        "var runs = (typeof runs === 'number') ? runs + 1 : 1;"
        "Object.prototype.leak = 'x';"
        "function transform(text) { return text + runs + typeof globalThis.previous; }"
        "var previous = 1;";
    EXPECT_EQ(outcome(transformer.run(counting, "a")), "a1number");
    EXPECT_EQ(outcome(transformer.run(script("return String({}.leak) + typeof previous;"), "")),
              "undefinedundefined");
    EXPECT_EQ(outcome(transformer.run(counting, "b")), "b1number");
}

TEST(JavaScriptTransformerTest, EndlessLoopTimesOutAndIsThenStopped) {
    Transformer transformer;
    EXPECT_EQ(outcome(transformer.run(endless, "a")), fails("Script timed out after 1.5 seconds."));
    // Still being stopped: later runs fail at once without touching the worker.
    EXPECT_EQ(outcome(transformer.run(Transformer::templateScript(), "a")), fails(busy));
    std::this_thread::sleep_for(std::chrono::seconds(2));
    // A loaded machine (sanitizers, parallel tests) may need longer to stop it.
    ASSERT_TRUE(waitUntilIdle(transformer, 10));
    EXPECT_EQ(outcome(transformer.run(Transformer::templateScript(), "a", 30)), "a");

    // Shortest decimal form with at least one fractional digit; a loop hidden in
    // the conversion of a thrown value is stopped as well.
    EXPECT_EQ(outcome(transformer.run(endless, "a", 1.0)), fails("Script timed out after 1.0 seconds."));
    ASSERT_TRUE(waitUntilIdle(transformer, 5));
    EXPECT_EQ(outcome(transformer.run(script("throw { toString() { for (;;) {} } };"), "a", 0.25)),
              fails("Script timed out after 0.25 seconds."));
    ASSERT_TRUE(waitUntilIdle(transformer, 5));
    EXPECT_EQ(outcome(transformer.run(endless, "a", 0.0)), fails("Script timed out after 0.0 seconds."));
    ASSERT_TRUE(waitUntilIdle(transformer, 5));
    EXPECT_EQ(outcome(transformer.run(Transformer::templateScript(), "ok", 30)), "ok");

    // Going away while a script still runs stops it rather than hanging.
    EXPECT_EQ(outcome(transformer.run(endless, "a", 0.0)), fails("Script timed out after 0.0 seconds."));
}

TEST(JavaScriptTransformerTest, AllocationBombIsStopped) {
    Transformer transformer;
    // A generous limit, so that the memory watch is what stops it.
    auto result = transformer.run(
        script("const keep = []; for (;;) keep.push(new Array(1 << 20).fill(1.5));"), "a", 60);
    EXPECT_EQ(outcome(result), fails("Script stopped: it used more than 512 MB of memory."));
    EXPECT_FALSE(transformer.isBusy());
    EXPECT_EQ(outcome(transformer.run(Transformer::templateScript(), "still alive")), "still alive");
}

TEST(JavaScriptTransformerTest, RefusesResultsTooLargeForTheClipboard) {
    Transformer transformer;
    // Sizes, not speed, are under test: a generous limit keeps slow builds out of it.
    const double limit = 60;
    const std::string tooLarge =
        fails("`transform` returned more than 30 MB of text, too much for the clipboard.");
    EXPECT_EQ(outcome(transformer.run(script("return 'x'.repeat(30 * 1024 * 1024 + 1);"), "", limit)),
              tooLarge);
    // Counted in UTF-8 bytes: 16 Mi two-byte characters are 32 MiB.
    EXPECT_EQ(outcome(transformer.run(script("return '\\u00e9'.repeat(16 * 1024 * 1024);"), "", limit)),
              tooLarge);
    // A rope that would take gigabytes to flatten is refused without flattening it.
    EXPECT_EQ(outcome(transformer.run(
                  script("let s = 'x'.repeat(1 << 20); let r = s; for (let i = 0; i < 1500; i++) r += s; "
                         "return r;"),
                  "", limit)),
              tooLarge);
    auto exact = transformer.run(script("return 'x'.repeat(30 * 1024 * 1024);"), "", limit);
    ASSERT_TRUE(std::holds_alternative<std::string>(exact)) << outcome(exact);
    EXPECT_EQ(std::get<std::string>(exact).size(), Transformer::resultLimit);
}

TEST(JavaScriptTransformerTest, AnEngineThatCannotBeLoadedIsAFailureNamingIt) {
    Transformer transformer("libdz-no-such-engine.so.0");
    for (int run = 0; run < 2; ++run) {
        std::string text = outcome(transformer.run(Transformer::templateScript(), "a"));
        EXPECT_TRUE(
            text.starts_with("failure: Could not load the JavaScript engine: libdz-no-such-engine.so.0"))
            << text;
        EXPECT_FALSE(transformer.isBusy());
    }
    // A library without the engine's functions is refused by name too.
    std::string text = outcome(Transformer("libm.so.6").run(Transformer::templateScript(), "a"));
    EXPECT_TRUE(text.starts_with("failure: Could not load the JavaScript engine:")) << text;
    EXPECT_NE(text.find("JSContextGetGroup"), std::string::npos) << text;
}

TEST(JavaScriptTransformerTest, OneNativeCallGrowingPastTheLimitIsStopped) {
    // In a fresh process: memory the engine kept from earlier tests would
    // hide the growth.
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            Transformer transformer;
            // Flattening the string is one call into the engine that the watch
            // never interrupts; the memory is looked at when it returns.
            auto result = transformer.run(
                script("globalThis.keep = 'x'.repeat(600 * 1024 * 1024); keep.indexOf('y'); return text;"),
                "a", 60);
            bool stopped = outcome(result) == fails("Script stopped: it used more than 512 MB of memory.");
            std::fprintf(stderr, "%s\n", outcome(result).c_str());
            std::_Exit(stopped && !transformer.isBusy() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "Script stopped: it used more than 512 MB of memory.");
}
