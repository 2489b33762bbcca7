// The document's art through AI Art, AI Path, AI Matching Art and AI MdMemory.
#include <stdexcept>

#include "HostFixture.h"

namespace {

class DocumentTest : public HostTest {
 protected:
  const AIArtSuite* art = acquire<AIArtSuite>(kAIArtSuite, 1014);
  const AIPathSuite* path = acquire<AIPathSuite>(kAIPathSuite, 1008);
  const AIMatchingArtSuite* matching = acquire<AIMatchingArtSuite>(kAIMatchingArtSuite, 1005);
  const AIMdMemorySuite* md = acquire<AIMdMemorySuite>(kAIMdMemorySuite, 1001);

  // The selected path art, as the plug-in asks for it; the array is disposed here.
  std::vector<AIArtHandle> selectedPaths() {
    AIMatchingArtSpec spec{kPathArt, kArtSelected, kArtSelected};
    AIArtHandle** found = nullptr;
    int32_t count = -1;
    EXPECT_EQ(matching->GetMatchingArt(&spec, 1, &found, &count), kNoErr);
    std::vector<AIArtHandle> out;
    if (count > 0) out.assign(*found, *found + count);
    EXPECT_EQ(md->MdMemoryDisposeHandle(reinterpret_cast<AIMdMemoryHandle>(found)), kNoErr);
    return out;
  }
};

TEST_F(DocumentTest, EveryPathOperationOnDeadArtAnswersDeadArt) {
  AIArtHandle a = host.document().addPath({corner(0, 0), corner(10, 0)}, false);
  EXPECT_EQ(art->ValidArt(a), 1);
  ASSERT_TRUE(host.document().remove(a));
  EXPECT_FALSE(host.document().remove(a));
  // A handle is never reused: new art gets a new handle and the old one stays dead.
  AIArtHandle b = host.document().addPath({corner(0, 0)}, false);
  EXPECT_NE(a, b);
  EXPECT_EQ(art->ValidArt(a), 0);
  EXPECT_EQ(art->ValidArt(b), 1);
  host.document().clear();
  EXPECT_EQ(art->ValidArt(b), 0);

  int16_t count = 0;
  AIPathSegment seg = corner(1, 1);
  AIBoolean closed = 0;
  for (AIArtHandle dead : {a, b, reinterpret_cast<AIArtHandle>(0x1234567)}) {
    EXPECT_EQ(path->GetPathSegmentCount(dead, &count), kDeadArtErr);
    EXPECT_EQ(path->SetPathSegmentCount(dead, 3), kDeadArtErr);
    EXPECT_EQ(path->GetPathSegments(dead, 0, 1, &seg), kDeadArtErr);
    EXPECT_EQ(path->SetPathSegments(dead, 0, 1, &seg), kDeadArtErr);
    EXPECT_EQ(path->GetPathClosed(dead, &closed), kDeadArtErr);
  }
  EXPECT_EQ(path->GetPathSegmentCount(nullptr, &count), kBadParameterErr);
  EXPECT_EQ(art->ValidArt(nullptr), 0);
}

TEST_F(DocumentTest, PathSegmentsReadWriteAppendAndResize) {
  AIArtHandle p = host.document().addPath({corner(0, 0), corner(10, 0), corner(10, 10)}, true);
  int16_t count = 0;
  ASSERT_EQ(path->GetPathSegmentCount(p, &count), kNoErr);
  EXPECT_EQ(count, 3);
  AIBoolean closed = 0;
  ASSERT_EQ(path->GetPathClosed(p, &closed), kNoErr);
  EXPECT_EQ(closed, 1);

  AIPathSegment two[2];
  ASSERT_EQ(path->GetPathSegments(p, 1, 2, two), kNoErr);
  EXPECT_EQ(two[0].p.h, 10.0f);
  EXPECT_EQ(two[1].p.v, 10.0f);

  // A first index equal to the count appends; a run past the end extends the path.
  AIPathSegment extra[2] = {corner(0, 10), corner(-5, 5)};
  ASSERT_EQ(path->SetPathSegments(p, 3, 1, extra), kNoErr);
  ASSERT_EQ(path->SetPathSegments(p, 3, 2, extra), kNoErr);
  ASSERT_EQ(path->GetPathSegmentCount(p, &count), kNoErr);
  EXPECT_EQ(count, 5);
  EXPECT_EQ(host.document().find(p)->segments[4].p.h, -5.0f);

  // Growing adds zero segments; shrinking drops from the end.
  ASSERT_EQ(path->SetPathSegmentCount(p, 7), kNoErr);
  const auto& segs = host.document().find(p)->segments;
  ASSERT_EQ(segs.size(), 7u);
  EXPECT_EQ(segs[6].p.h, 0.0f);
  EXPECT_EQ(segs[6].corner, 0);
  ASSERT_EQ(path->SetPathSegmentCount(p, 1), kNoErr);
  EXPECT_EQ(host.document().find(p)->segments.size(), 1u);
  EXPECT_EQ(host.document().find(p)->closed, true);  // untouched by segment changes

  // Bad indices and counts are refused and change nothing.
  AIPathSegment seg = corner(3, 3);
  EXPECT_EQ(path->SetPathSegmentCount(p, -1), kBadParameterErr);
  EXPECT_EQ(path->GetPathSegments(p, 0, 2, two), kBadParameterErr);
  EXPECT_EQ(path->GetPathSegments(p, -1, 1, two), kBadParameterErr);
  EXPECT_EQ(path->GetPathSegments(p, 1, 0, two), kNoErr);
  EXPECT_EQ(path->GetPathSegments(p, 0, -1, two), kBadParameterErr);
  EXPECT_EQ(path->SetPathSegments(p, 2, 1, &seg), kBadParameterErr);  // a gap before index 2
  EXPECT_EQ(path->SetPathSegments(p, 0, -3, &seg), kBadParameterErr);
  EXPECT_EQ(path->SetPathSegments(p, 0, 1, nullptr), kBadParameterErr);
  EXPECT_EQ(path->GetPathSegmentCount(p, nullptr), kBadParameterErr);
  ASSERT_EQ(path->SetPathSegmentCount(p, 32767), kNoErr);
  EXPECT_EQ(path->SetPathSegments(p, 32767, 1, &seg), kBadParameterErr);  // beyond 16 bits
  ASSERT_EQ(path->GetPathSegmentCount(p, &count), kNoErr);
  EXPECT_EQ(count, 32767);
  EXPECT_THROW(host.document().addPath(std::vector<AIPathSegment>(32768), false),
               std::length_error);
}

TEST_F(DocumentTest, PathOperationsOnACompoundPathAnswerNotAPath) {
  simhost::Art compound;
  compound.kind = kCompoundPathArt;
  AIArtHandle c = host.document().addArt(compound);
  int16_t count = 0;
  EXPECT_EQ(path->GetPathSegmentCount(c, &count), kNotAPathErr);
  simhost::Art orphan;
  orphan.parent = 999;
  EXPECT_THROW(host.document().addArt(orphan), std::invalid_argument);
}

TEST_F(DocumentTest, MatchingArtFindsSelectedPathsIncludingCompoundSubpaths) {
  AIArtHandle selected = host.document().addPath({corner(0, 0), corner(1, 1)}, false, true);
  host.document().addPath({corner(0, 0), corner(2, 2)}, false, false);
  simhost::Art compound;
  compound.kind = kCompoundPathArt;
  compound.selected = true;
  AIArtHandle c = host.document().addArt(compound);
  simhost::Art sub;
  sub.parent = simhost::Document::id(c);
  sub.segments = {corner(5, 5), corner(6, 6)};
  AIArtHandle s1 = host.document().addArt(sub);
  AIArtHandle s2 = host.document().addArt(sub);

  EXPECT_EQ(selectedPaths(), (std::vector<AIArtHandle>{selected, s1, s2}));

  // Any art type, selected: the compound path too.
  AIMatchingArtSpec any{kAnyArt, kArtSelected, kArtSelected};
  AIArtHandle** found = nullptr;
  int32_t count = 0;
  ASSERT_EQ(matching->GetMatchingArt(&any, 1, &found, &count), kNoErr);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(host.outstanding().matchingArrays, 1u);
  EXPECT_EQ(md->MdMemoryDisposeHandle(reinterpret_cast<AIMdMemoryHandle>(found)), kNoErr);
  EXPECT_EQ(md->MdMemoryDisposeHandle(reinterpret_cast<AIMdMemoryHandle>(found)),
            kBadParameterErr);
  EXPECT_EQ(host.outstanding().matchingArrays, 0u);

  // Removing the compound path removes its subpaths.
  ASSERT_TRUE(host.document().remove(c));
  EXPECT_FALSE(host.document().valid(s1));
  EXPECT_EQ(selectedPaths(), (std::vector<AIArtHandle>{selected}));

  // Nothing selected: no array and a count of 0.
  host.document().selectAll(false);
  found = reinterpret_cast<AIArtHandle**>(&count);
  count = 7;
  AIMatchingArtSpec spec{kPathArt, kArtSelected, kArtSelected};
  ASSERT_EQ(matching->GetMatchingArt(&spec, 1, &found, &count), kNoErr);
  EXPECT_EQ(found, nullptr);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(matching->GetMatchingArt(&spec, 0, &found, &count), kBadParameterErr);
  EXPECT_EQ(matching->GetMatchingArt(nullptr, 1, &found, &count), kBadParameterErr);

  host.faults().failCall("AIMatchingArt.GetMatchingArt", 1, kOutOfMemoryErr);
  host.document().selectAll(true);
  EXPECT_EQ(matching->GetMatchingArt(&spec, 1, &found, &count), kOutOfMemoryErr);
  EXPECT_EQ(host.outstanding().matchingArrays, 0u);
}

TEST_F(DocumentTest, InjectedPathFaultsLeaveThePathAsItWas) {
  AIArtHandle p = host.document().addPath({corner(0, 0), corner(10, 0)}, false);
  host.faults().failCall("AIPath.SetPathSegmentCount", 1, kCantHappenErr);
  EXPECT_EQ(path->SetPathSegmentCount(p, 5), kCantHappenErr);
  EXPECT_EQ(host.document().find(p)->segments.size(), 2u);
  EXPECT_EQ(path->SetPathSegmentCount(p, 5), kNoErr);
  EXPECT_EQ(host.document().find(p)->segments.size(), 5u);
}

}  // namespace
