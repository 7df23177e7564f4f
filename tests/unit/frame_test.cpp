// The installer's string stack as the frame reads and writes it.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "plugin/nsis.h"
#include "toolkit/headless/headless.h"

namespace {

// An installer's stack of entries built the way the installer builds it.
template <class Ch>
struct FakeStack {
    using Entry = nsis::BasicStackEntry<Ch>;
    Entry* top = nullptr;
    int string_size;

    explicit FakeStack(int size = 1024) : string_size(size) {}
    ~FakeStack() {
        while (top) {
            Entry* next = top->next;
            toolkit::global_free(top);
            top = next;
        }
    }
    void enter() { nsis::plugin_enter(nullptr, string_size, nullptr, &top); }
    void push(const std::basic_string<Ch>& text) {
        enter();
        nsis::stack_push_text(text);
    }
    std::vector<std::basic_string<Ch>> texts() const {
        std::vector<std::basic_string<Ch>> out;
        for (Entry* e = top; e; e = e->next) out.emplace_back(e->text);
        return out;
    }
};

template <class Ch>
class StackTest : public ::testing::Test {};
using Widths = ::testing::Types<char, char16_t>;
TYPED_TEST_SUITE(StackTest, Widths);

template <class Ch>
std::basic_string<Ch> text(const char* ascii) {
    return std::basic_string<Ch>(ascii, ascii + std::char_traits<char>::length(ascii));
}

TYPED_TEST(StackTest, PopsInOrderAndFreesEntries) {
    using Ch = TypeParam;
    FakeStack<Ch> stack;
    stack.push(text<Ch>("second"));
    stack.push(text<Ch>("first"));
    stack.enter();
    std::basic_string<Ch> value;
    ASSERT_TRUE(nsis::stack_pop_text(value));
    EXPECT_EQ(value, text<Ch>("first"));
    ASSERT_TRUE(nsis::stack_pop_text(value));
    EXPECT_EQ(value, text<Ch>("second"));
    EXPECT_EQ(stack.top, nullptr);
}

TYPED_TEST(StackTest, PopFromEmptyOrMissingStackKeepsTheText) {
    using Ch = TypeParam;
    FakeStack<Ch> stack;
    stack.enter();
    std::basic_string<Ch> value = text<Ch>("kept");
    EXPECT_FALSE(nsis::stack_pop_text(value));
    EXPECT_EQ(value, text<Ch>("kept"));

    nsis::plugin_enter(nullptr, 1024, nullptr, nullptr);
    EXPECT_FALSE(nsis::stack_pop_text(value));
    nsis::stack_push_text(text<Ch>("nowhere"));  // no stack: nothing happens
    EXPECT_EQ(value, text<Ch>("kept"));
}

TYPED_TEST(StackTest, PushCutsAtStringSizeMinusOne) {
    using Ch = TypeParam;
    struct Case {
        int string_size;
        const char* pushed;
        const char* stored;
    };
    for (const Case& c : {Case{8, "1234567", "1234567"}, Case{8, "12345678", "1234567"},
                          Case{8, "123456789abc", "1234567"}, Case{1, "abc", ""}, Case{2, "", ""}}) {
        FakeStack<Ch> stack(c.string_size);
        stack.push(text<Ch>(c.pushed));
        ASSERT_EQ(stack.texts().size(), 1u) << c.pushed;
        EXPECT_EQ(stack.texts()[0], text<Ch>(c.stored)) << c.string_size << " " << c.pushed;
    }
}

TEST(StackTest, PushedEntryHasTheInstallersLayout) {
    FakeStack<char> stack(16);
    stack.push("below");
    stack.push("top");
    // The text starts right after the link to the entry below.
    auto* raw = reinterpret_cast<unsigned char*>(stack.top);
    EXPECT_STREQ(reinterpret_cast<char*>(raw + sizeof(void*)), "top");
    EXPECT_STREQ((*reinterpret_cast<nsis::BasicStackEntry<char>**>(raw))->text, "below");
}

}  // namespace
