// Where a sound lands in a recording and what a stop keeps, for the command-line recorder and the
// window program, against parecord at 20 ms in the same set-up (ClickTiming.h): a click played 1.5 s
// after the start lies where it was played, or no later than parecord puts it, and a stop keeps
// everything played until it, each within 0.1 s. Every expectation is taken from the moments we really acted at (the start, the click
// reaching the output, the stop), so a busy machine moves the expectations with it; a key typed by
// xdotool widens the margin by the time xdotool took to send it. A take that misses is taken once
// more: a fault shows in both, a stall of a busy machine seldom hits two. Speed is measured in
// bench/RecordLatencyBench, not here.
#include "ClickTiming.h"
#include "PulseTestSupport.h"
#include "XDisplay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <memory>

// Under a sanitizer the programs start several times slower: where they put a sound says nothing then.
#if defined(__SANITIZE_THREAD__) || defined(__SANITIZE_ADDRESS__)
#define VORANE_TIMING_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer) || __has_feature(address_sanitizer)
#define VORANE_TIMING_SANITIZED 1
#endif
#endif

namespace
{
using namespace clicktiming;

constexpr double kTolerance = 0.1;
// How far parecord may place the click: a process started on a busy machine begins late.
constexpr double kSetUpTolerance = 0.3;
constexpr TakePlan kClickTake{1.5, 3.4};
constexpr TakePlan kShortTake{0.9, 1.8};

std::string Seconds3(double d)
{
    char text[32];
    std::snprintf(text, sizeof(text), "%+.3f s", d);
    return text;
}

class RecordTiming : public CPulseTest
{
protected:
    void SetUp() override
    {
#ifdef VORANE_TIMING_SANITIZED
        GTEST_SKIP() << "timing under a sanitizer";
#endif
        CPulseTest::SetUp();
        if (HasFatalFailure())
            return;
        // The player keeps the null output busy at 20 ms from here on.
        ASSERT_TRUE(m_player.Start(TheDaemon().Server(), CPulseDaemon::kOutput)) << m_player.Error();
        ASSERT_TRUE(WaitUntilCaptureIsPrompt(TheDaemon().Server(), std::string(CPulseDaemon::kOutput) + ".monitor"))
            << "the daemon's capture stays slow to start";
    }
    void TearDown() override
    {
        m_player.Stop();
        CPulseTest::TearDown();
    }

    // Takes the plan up to twice, until `met` says a take is right; true if one was, with every take described.
    bool InOneOfTwoTakes(IRecorder& recorder, const TakePlan& plan, const std::function<bool(const TakeResult&)>& met,
                         std::string& takes)
    {
        for (int i = 0; i < 2; ++i)
        {
            const TakeResult take = RunTake(recorder, m_player, plan);
            takes += "\n  " + Describe(take);
            if (take.ok && met(take))
                return true;
        }
        return false;
    }

    // The recorder's click is off where it was played by what parecord's is, within the margin.
    void ExpectTheClickWhereTheReferenceHasIt(IRecorder& recorder)
    {
        // The set-up itself: parecord finds the click where it was played, less its own start.
        std::unique_ptr<IRecorder> reference = ReferenceRecorder(TheDaemon().Server(), CPulseDaemon::kOutput, m_folder.Path());
        double dReference = 0;
        std::string refTakes;
        ASSERT_TRUE(InOneOfTwoTakes(*reference, kClickTake, [&](const TakeResult& take) {
            dReference = take.ClickError();
            return take.ClickFound() && std::abs(dReference) <= kSetUpTolerance;
        }, refTakes)) << "parecord does not find the click where it was played:" << refTakes;

        // Where it was played, or where parecord has it: a program may start as late as a process
        // started beside it (a late start shows as a click found early), but no later.
        std::string takes;
        const bool bWhereTheReferenceHasIt = InOneOfTwoTakes(recorder, kClickTake, [&](const TakeResult& take) {
            if (!take.ClickFound())
                return false;
            takes += "\n    the click is " + Seconds3(take.ClickError()) + " off where it was played";
            const double margin = kTolerance + take.uncertainty;
            return take.ClickError() >= std::min(0.0, dReference) - margin &&
                   take.ClickError() <= std::max(0.0, dReference) + margin;
        }, takes);
        EXPECT_TRUE(bWhereTheReferenceHasIt) << recorder.Name() << ": parecord finds the click " << Seconds3(dReference)
                                             << " off where it was played;" << takes;
    }

    // Everything played from the click to the stop is in the file, whatever part of a second was under
    // way at the stop, and nothing is made up after it: the click marks where the recording really
    // began, so a start made late by a busy machine counts neither way.
    void ExpectEverythingKeptUntilTheStop(IRecorder& recorder)
    {
        for (const TakePlan& plan : {kClickTake, kShortTake})
        {
            std::string takes;
            const bool bKeptUntilTheStop = InOneOfTwoTakes(recorder, plan, [&](const TakeResult& take) {
                if (!take.ClickFound())
                    return false;
                const double atStop = take.KeptBeyondHeld() - take.ClickError();
                const double margin = kTolerance + take.uncertainty;
                takes += "\n    kept " + Seconds3(atStop) + " against the time from the click to the stop";
                return atStop >= -margin && (plan.stopAfter >= kClickTake.stopAfter || atStop <= margin);
            }, takes);
            EXPECT_TRUE(bKeptUntilTheStop) << recorder.Name() << ", stopped " << plan.stopAfter << " s after the start:" << takes;
        }
    }

    CClickPlayer m_player;
};

TEST_F(RecordTiming, AClickPlayedAfterTheCommandLineRecorderStartsIsWhereTheReferenceRecorderFindsIt)
{
    std::unique_ptr<IRecorder> recorder = CommandLineRecorder(TheDaemon().Server(), "wav", m_folder.Path());
    ExpectTheClickWhereTheReferenceHasIt(*recorder);
}

TEST_F(RecordTiming, TheCommandLineRecorderKeepsWhatWasPlayedUntilCtrlC)
{
    std::unique_ptr<IRecorder> recorder = CommandLineRecorder(TheDaemon().Server(), "wav", m_folder.Path());
    ExpectEverythingKeptUntilTheStop(*recorder);
}

// The window program of the build, started for each test on a private display.
class WindowRecordTiming : public RecordTiming
{
protected:
    static void SetUpTestSuite() { s_pDisplay = new CXDisplay(); }
    static void TearDownTestSuite()
    {
        delete s_pDisplay;
        s_pDisplay = nullptr;
    }

    void SetUp() override
    {
        RecordTiming::SetUp();
        if (HasFatalFailure() || IsSkipped())
            return;
        ASSERT_TRUE(s_pDisplay && s_pDisplay->Ok()) << "no private X display (Xvfb and openbox are needed)";
        // In /tmp: the program's single-instance socket lives in its runtime folder, and socket paths are short.
        char dir[] = "/tmp/vorane-timing-XXXXXX";
        ASSERT_NE(mkdtemp(dir), nullptr);
        m_scratch = dir;
        m_pWindow = std::make_unique<CWindowRecorder>(TheDaemon().Server(), m_scratch);
        std::string error;
        ASSERT_TRUE(m_pWindow->Launch(error)) << error;
    }
    void TearDown() override
    {
        m_pWindow.reset();  // closes the program
        std::error_code ec;
        if (!m_scratch.empty())
            std::filesystem::remove_all(m_scratch, ec);
        RecordTiming::TearDown();
    }

    static CXDisplay* s_pDisplay;
    std::string m_scratch;
    std::unique_ptr<CWindowRecorder> m_pWindow;
};
CXDisplay* WindowRecordTiming::s_pDisplay = nullptr;

TEST_F(WindowRecordTiming, AClickPlayedAfterAltRIsWhereTheReferenceRecorderFindsIt)
{
    ExpectTheClickWhereTheReferenceHasIt(*m_pWindow);
}

TEST_F(WindowRecordTiming, TheWindowProgramKeepsWhatWasPlayedUntilAltS)
{
    ExpectEverythingKeptUntilTheStop(*m_pWindow);
}
}  // namespace
