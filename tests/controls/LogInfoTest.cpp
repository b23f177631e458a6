// The run log: lines appended after the text already shown, bounded by the control's text limit.
#include "controls/LogInfo.h"

#include "ControlTestHelpers.h"
#include "controls/ControlIds.h"
#include "controls/ControlRegistry.h"
#include "support/TestWindow.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

class LogInfoTest : public ::testing::Test {
protected:
    LogInfoTest() { log->Create(ControlId::Log, 0, 0, 295, 160, L""); }

    std::wstring Text() const { return WindowText(log->GetHandle()); }
    void SetLimit(WPARAM limit) { SendMessageW(log->GetHandle(), EM_SETLIMITTEXT, limit, 0); }

    TestWindow mainWindow;
    std::shared_ptr<LogInfo> log = std::make_shared<LogInfo>();
};

TEST_F(LogInfoTest, AppendedTextStartsALineOfItsOwn) {
    log->SetLogText(L"x", false);

    log->AppendLine(L"a", false);
    log->AppendLine(L"b", true);

    EXPECT_EQ(Text(), L"x\r\na\r\nb");
}

TEST_F(LogInfoTest, AppendingToAnEmptyLogLeavesAnEmptyFirstLine) {
    log->AppendLine(L"a", false);

    EXPECT_EQ(Text(), L"\r\na");
}

TEST_F(LogInfoTest, ReplacedLogPlusOneFileNameHasTwoLines) {
    log->AppendLine(L"old run", false);

    log->SetLogText(L"started", true);
    log->AppendLine(L"C:\\music\\take1.wav", true);

    EXPECT_EQ(SendMessageW(log->GetHandle(), EM_GETLINECOUNT, 0, 0), 2);
    EXPECT_EQ(Text(), L"started\r\nC:\\music\\take1.wav");
}

TEST_F(LogInfoTest, TheOldestTextIsDroppedAtTheLimit) {
    struct Row {
        const char* name;
        WPARAM limit;
        const wchar_t* before;
        const wchar_t* appended;
        const wchar_t* after;
    };
    const Row rows[] = {
        {"everything fits exactly", 16, L"0123456789", L"abc", L"0123456789\r\nabc"},
        {"oldest characters go first", 20, L"0123456789", L"abcdefghij", L"3456789\r\nabcdefghij"},
        {"a text longer than the limit keeps its end", 8, L"0123", L"abcdefghijkl", L"fghijkl"},
        {"a text exactly one unit too long", 8, L"", L"abcdefgh", L"bcdefgh"},
        {"a cut never splits a surrogate pair", 4, L"", L"a\U0001F600bc", L"bc"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SetLimit(row.limit);
        log->SetLogText(row.before, false);

        log->AppendLine(row.appended, false);

        EXPECT_EQ(Text(), row.after);
    }
}

TEST_F(LogInfoTest, ALineLongerThanALogLineIsCutWhenTheNextLineIsAppended) {
    const std::wstring longLine(600, L'x');
    const std::wstring cut(kTextCapacity - 1, L'x');

    log->SetLogText(longLine.c_str(), false);
    log->AppendLine(L"a", false);
    EXPECT_EQ(Text(), cut + L"\r\na");

    log->SetLogText(L"s", false);
    log->AppendLine(longLine.c_str(), false);
    log->AppendLine(L"b", false);
    EXPECT_EQ(Text(), L"s\r\n" + cut + L"\r\nb");
}

TEST_F(LogInfoTest, ALogFilledToItsLimitKeepsTakingLines) {
    SetLimit(64);
    for (int i = 0; i < 40; ++i) {
        log->AppendLine(L"file.wav", false);
    }

    const std::wstring text = Text();
    EXPECT_EQ(text.size(), 63u);
    EXPECT_EQ(text.substr(text.size() - 18), L"file.wav\r\nfile.wav");
}

// Queued lines go in together; the text must come out as single appends of each would leave it,
// the limit and lines too long to read back included.
TEST_F(LogInfoTest, QueuedLinesShowAsTheirSingleAppendsWould) {
    const std::wstring longLine(600, L'x');
    struct Row {
        const char* name;
        WPARAM limit;
        std::wstring before;
        std::vector<std::wstring> lines;
    };
    const Row rows[] = {
        {"lines that fit", 0, L"start", {L"a.wav", L"b.wav", L"error", L"reason"}},
        {"a line too long to read back in the middle", 0, L"start", {L"a.wav", longLine, L"b.wav", L"c.wav"}},
        {"a text too long to read back before them", 0, longLine, {L"a.wav", L"b.wav"}},
        {"the limit reached half-way", 24, L"start", {L"0123456789", L"abcdefghij", L"klmnopqrst"}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.limit != 0) {
            SetLimit(row.limit);
        }
        log->SetLogText(row.before.c_str(), false);
        for (const std::wstring& line : row.lines) {
            log->AppendLine(line.c_str(), false);
        }
        const std::wstring appended = Text();

        log->SetLogText(row.before.c_str(), false);
        for (const std::wstring& line : row.lines) {
            log->QueueLine(line.c_str());
        }
        log->ShowQueued();

        EXPECT_EQ(Text(), appended);
    }
}

// A line queued right after another shows without a further call, once the message loop runs.
TEST_F(LogInfoTest, AQueuedLineShowsWhenMessagesArePumped) {
    RegistryScope scope;
    ControlRegistry::Instance().Register(log);
    log->SetLogText(L"start", false);
    log->QueueLine(L"a.wav");
    log->QueueLine(L"b.wav");

    const DWORD started = GetTickCount();
    while (Text() != L"start\r\na.wav\r\nb.wav" && GetTickCount() - started < 10000) {
        PumpPendingMessages();
        Sleep(10);
    }

    EXPECT_EQ(Text(), L"start\r\na.wav\r\nb.wav");
}

}  // namespace
