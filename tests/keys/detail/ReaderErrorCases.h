#pragma once

// Animation files that each stop the reader with one error: the expected
// message and the 1-based number of the offending line. The same inputs seed
// the reader's fuzz corpus.
namespace ktrt_test {

struct ReaderErrorCase {
    const char* name;
    const char* input;
    const char* message;
    int line;
};

inline constexpr ReaderErrorCase readerErrorCases[] = {
    {"NameWithoutTrailingQuote", "KTAnimation {\n Children [\n  KTPartTransform {\n   Name \"Lid\n",
     "Missing trailing \" in part name", 4},
    {"NameOfALoneQuote", "KTAnimation { Children [ KTPartTransform {\n Name \" \n",
     "Missing trailing \" in part name", 2},
    {"WordInKeyList",
     "KTAnimation { Children [ KTPartTransform {\n OrientationInterpolator {\n  Key [ 0 abc ]\n",
     "Illegal or missing value in key field.", 3},
    {"OpeningBracketInKeyList",
     "KTAnimation { Children [ KTPartTransform { PositionInterpolator { Key [ 0\n [ 1 ]\n",
     "Illegal or missing value in key field.", 2},
    {"WordInOrientationValues",
     "KTAnimation { Children [ KTPartTransform { OrientationInterpolator {\n"
     "  Key [ 0 ]\n  KeyValue [ 1 0 0 x ]\n",
     "Illegal or missing value in position key value field", 3},
    {"WordInPositionValues",
     "KTAnimation { Children [ KTPartTransform { PositionInterpolator {\n"
     "  Key [ 0 ]\r\n  KeyValue [ 1 2 three ]\r\n",
     "Illegal or missing value in position key value field", 3},
    {"GluedBracketsLeaveTheKeyListClosed",
     "KTAnimation { Children [ KTPartTransform { PositionInterpolator {\n"
     "  Key [0 1]\n  KeyValue [ 0 0 0 ]\n",
     "Unexpected key value field.", 3},
    {"RightBraceInChildren", "KTAnimation {\n Children [\n }\n", "Unexpected right brace.", 3},
    {"RightBraceAfterABlockOfAnotherNode", "KTAnimation {\n  Other { field 1 }\n}\n",
     "Unexpected right brace.", 3},
    {"RightBracketInAnimationBody", "# a comment\nKTAnimation {\r\n ]\r\n}\r\n",
     "Illegal right brace.", 3},
    {"KeyInPartTransform", "KTAnimation { Children [ KTPartTransform {\n Key [ 0 ]\n",
     "Unexpected key field.", 2},
    {"KeyValueInAnimationBody", "KTAnimation {\n\n KeyValue [ 0 ]\n", "Unexpected key value field.",
     3},
    {"SevenOrientationNumbersForThreeKeys",
     "KTAnimation { Children [ KTPartTransform { Name \"Lid\"\n OrientationInterpolator {\n"
     "  Key [ 0 0.5 1 ]\n  KeyValue [ 1 0 0 0.5 1 0 0 ]\n }\n",
     "Mismatch between number of interpolator keys and values.", 5},
    {"PositionKeysCheckedWhenAnOrientationInterpolatorEnds",
     "KTAnimation { Children [ KTPartTransform { PositionInterpolator { Key [ 0 1 ] {\n"
     "}\nKTAnimation { Children [ KTPartTransform {\n"
     " OrientationInterpolator { Key [ 0 ] KeyValue [ 0 1 0 1 ] }\n",
     "Mismatch between number of interpolator keys and values.", 4},
    {"KeysLeftOpenByABlockReachTheEndOfAPart",
     "KTAnimation { Children [ KTPartTransform { OrientationInterpolator { Key [ 1 2 ] {\n"
     "}\nKTAnimation { Children [ KTPartTransform { }\n",
     "Mismatch between number of interpolator keys and values.", 3},
    {"EqualKeyCountsLeftOpenByABlock",
     "KTAnimation { Children [ KTPartTransform { OrientationInterpolator {\n"
     " Key [ 1 2 ] KeyValue [ 1 0 0 0 0 1 0 0 ] } PositionInterpolator { Key [ 0 1 ] {\n"
     "}\nKTAnimation { Children [ KTPartTransform { }\n",
     "Mismatch between number of interpolator keys and values.", 4},
    {"ThreeOrientationAndTwoPositionKeys",
     "KTAnimation { Children [ KTPartTransform { Name \"Lid\"\n"
     " OrientationInterpolator { Key [ 0 1 2 ] KeyValue [ 1 0 0 0 1 0 0 1 1 0 0 2 ] }\n"
     " PositionInterpolator { Key [ 0 1 ] KeyValue [ 0 0 0 1 1 1 ] }\n }\n",
     "Discrepancy detected while constructing part transform.", 4},
    {"AnimationInAnimation", "KTAnimation {\n Children [\n  KTANIMATION\n",
     "Illegally nested animations.", 3},
    {"OrientationInterpolatorInAnimationBody", "KTAnimation {\n OrientationInterpolator {\n",
     "OrientationInterpolator found outside of transform.", 2},
    {"OrientationInterpolatorAfterUnquotedName",
     "KTAnimation { Children [ KTPartTransform {\n Name Lid\n OrientationInterpolator {\n",
     "OrientationInterpolator found outside of transform.", 3},
    {"PositionInterpolatorInChildren", "KTAnimation {\n Children [ PositionInterpolator\n",
     "PositionInterpolator found outside of transform.", 2},
};

} // namespace ktrt_test
