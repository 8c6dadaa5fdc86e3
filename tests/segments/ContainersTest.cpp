// Owned strings and pointer arrays: copies never shared, case-folding
// comparison, the block growth sequence and the in-order delete.
#include <gtest/gtest.h>

#include <vector>

#include "segments/CPtrArray.h"
#include "segments/CText.h"

namespace {

TEST(CText, CopiesAreSeparateAndSelfAssignmentKeepsTheCopy) {
    CText strA("BHZ");
    CText strB(strA);
    EXPECT_STREQ(strB.szGetText(), "BHZ");
    EXPECT_NE(strA.szGetText(), strB.szGetText());

    const char* szBefore = strA.szGetText();
    CText& strSelf = strA;
    strA = strSelf;
    EXPECT_EQ(strA.szGetText(), szBefore);
    EXPECT_STREQ(strA.szGetText(), "BHZ");

    CText strC("a much longer name");
    strC = strA;
    EXPECT_STREQ(strC.szGetText(), "BHZ");
    EXPECT_NE(strC.szGetText(), strA.szGetText());
    EXPECT_EQ(CText().szGetText(), nullptr);
}

TEST(CText, CompareNoCaseFoldsOnlyAsciiCapitals) {
    EXPECT_EQ(CText("bhz").nCompareNoCase("BHZ"), 0);
    EXPECT_EQ(CText("MiXeD").nCompareNoCase("mIxEd"), 0);
    EXPECT_LT(CText("abc").nCompareNoCase("ABD"), 0);
    EXPECT_GT(CText("abd").nCompareNoCase("abc"), 0);
    EXPECT_LT(CText("ab").nCompareNoCase("abc"), 0);
    EXPECT_GT(CText("abc").nCompareNoCase("ab"), 0);
    // Bytes compare unsigned, and only A-Z fold: 0xC9 is not 0xE9.
    EXPECT_GT(CText("\xE9").nCompareNoCase("z"), 0);
    EXPECT_NE(CText("\xC9").nCompareNoCase("\xE9"), 0);
    // Folding is to lower case: '[' (0x5B) sorts after 'Z' but before 'z'.
    EXPECT_LT(CText("[").nCompareNoCase("Z"), 0);
    EXPECT_GT(CText("Z").nCompareNoCase("["), 0);
    EXPECT_EQ(CText().nCompareNoCase(""), 0);
}

TEST(CPtrArray, GrowsByFourThenAnEighthAndAtMost1024) {
    CPtrArray arr;
    EXPECT_EQ(arr.ppGetBlock(), nullptr);
    std::vector<int> anCapacities;
    int nLargestStep = 0;
    for (int i = 0; i < 20000; ++i) {
        const int nBefore = arr.nGetCapacity();
        ASSERT_EQ(arr.nAdd(nullptr), i);
        ASSERT_EQ(arr.nGetCount(), i + 1);
        if (arr.nGetCapacity() != nBefore) {
            anCapacities.push_back(arr.nGetCapacity());
            nLargestStep = std::max(nLargestStep, arr.nGetCapacity() - nBefore);
        }
    }
    const std::vector<int> anExpectedStart = {1,  5,  9,  13, 17, 21, 25, 29, 33, 37,
                                              41, 46, 51, 57, 64, 72, 81, 91, 102};
    ASSERT_GE(anCapacities.size(), anExpectedStart.size());
    EXPECT_EQ(std::vector<int>(anCapacities.begin(), anCapacities.begin() + anExpectedStart.size()),
              anExpectedStart);
    EXPECT_EQ(nLargestStep, 1024);
    arr.vDeleteAll();  // null elements are skipped
}

class Tracked : public CArrayItem {
public:
    Tracked(int nId, std::vector<int>& anLog, const CPtrArray& arr)
        : m_nId(nId), m_anLog(anLog), m_arr(arr) {}
    ~Tracked() override {
        m_anLog.push_back(m_nId);
        m_anCountSeen.push_back(m_arr.nGetCount());
    }
    static inline std::vector<int> m_anCountSeen;

private:
    int m_nId;
    std::vector<int>& m_anLog;
    const CPtrArray& m_arr;
};

TEST(CPtrArray, DeleteAllDestroysFirstElementFirstAndKeepsTheBlock) {
    CPtrArray arr;
    std::vector<int> anLog;
    Tracked::m_anCountSeen.clear();
    for (int i = 0; i < 100; ++i) arr.nAdd(new Tracked(i, anLog, arr));
    CArrayItem* const* ppBlock = arr.ppGetBlock();
    arr.vDeleteAll();

    ASSERT_EQ(anLog.size(), 100u);
    for (int i = 0; i < 100; ++i) {
        EXPECT_EQ(anLog[i], i);
        // Each element is already out of the array while it is destroyed.
        EXPECT_EQ(Tracked::m_anCountSeen[i], 99 - i);
    }
    EXPECT_EQ(arr.nGetCount(), 0);
    EXPECT_EQ(arr.ppGetBlock(), ppBlock);
    EXPECT_GE(arr.nGetCapacity(), 100);
}

}  // namespace
