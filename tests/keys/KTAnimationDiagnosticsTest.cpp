#include <ktrt/keys/KTAnimationDiagnostics.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <ktrt/keys/KTComponentAnimation.h>

#include <gtest/gtest.h>

#include "AnimationFileFixture.h"
#include "AnimationSummary.h"
#include "detail/ReaderErrorCases.h"

using ktrt_test::AnimationFile;
using ktrt_test::summary;

namespace {

// A file with one of most kinds of report.
const std::string reportedInput =
    "junk KTAnimation { Other { x } KTAnimation { Children [ KTPartTransform { Name Lid \"Lid\"\n"
    " PositionInterpolator { KeyValue [ inf 0 0 1 ] Key [ 0 1] ] } \r";

// A receiver that keeps every report as "code line:column text".
class Recorder : public KTAnimationDiagnostics {
public:
    void report(const Report& r) override {
        reports.push_back(std::to_string(r.code) + " " + std::to_string(r.line) + ":" +
                          std::to_string(r.column) + " " + std::string(r.text, r.length));
    }
    std::vector<std::string> reports;
};

} // namespace

TEST(AnimationDiagnostics, AReceiverChangesNothingAndHearsTheFailure) {
    std::vector<std::string> inputs;
    for (const auto& row : ktrt_test::readerErrorCases)
        inputs.push_back(row.input);
    for (const char* example : {"chest", "door", "figure"}) {
        std::ifstream in(std::string(KTRT_SOURCE_DIR) + "/examples/" + example + ".kta");
        inputs.emplace_back(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    }
    inputs.push_back(reportedInput);
    for (const std::string& input : inputs) {
        SCOPED_TRACE(input);
        AnimationFile file(input);
        KTComponentAnimation plain;
        KTComponentAnimation heard;
        Recorder recorder;
        const int result = file.loadInto(plain);
        ASSERT_EQ(
            KTAnimationDiagnostics::loadAnimationFromFile(heard, file.name().c_str(), recorder),
            result);
        EXPECT_EQ(summary(heard), summary(plain));
        EXPECT_EQ(heard.getErrorMessage(), plain.getErrorMessage());
        EXPECT_EQ(heard.getLineNumber(), plain.getLineNumber());
        EXPECT_EQ(heard.getLineText(), plain.getLineText());
        const bool failed = !recorder.reports.empty() && recorder.reports.back()[0] == '0';
        EXPECT_EQ(failed, result == 0);
        if (failed) {
            EXPECT_EQ(
                recorder.reports.back().find(" " + std::to_string(plain.getLineNumber()) + ":"),
                1u);
        }
    }
}

TEST(AnimationDiagnostics, EachIgnoredPieceIsReportedWhereItStands) {
    AnimationFile file(reportedInput);
    KTComponentAnimation animation;
    Recorder recorder;
    KTAnimationDiagnostics::loadAnimationFromFile(animation, file.name().c_str(), recorder);
    using D = KTAnimationDiagnostics;
    const auto at = [](D::Code code, const char* where) {
        return std::to_string(code) + " " + where;
    };
    EXPECT_EQ(recorder.reports,
              (std::vector<std::string>{
                  at(D::outsideAnimation, "1:1 junk"), at(D::unknownWord, "1:20 Other"),
                  at(D::strayBlock, "1:26 {"), at(D::unknownWord, "1:28 x"),
                  at(D::unquotedName, "1:80 Lid"), at(D::carriageReturn, "2:63 \r"),
                  at(D::nonFiniteNumber, "2:36 inf"), at(D::valuesLeftOver, "2:46 ]"),
                  at(D::numberSuffix, "2:56 1]"),
                  at(D::readFailed, "2:61 Mismatch between number of interpolator keys and "
                                    "values.")}));
}
