// The writer base: attribute splitting, ring checks, merging of touching polyline
// sections, great-circle densification, the calling protocol and the factory.

#include "mfal.h"
#include "mitab.h"
#include "readers.h"
#include "temp_dir.h"

#include <cmath>
#include <functional>
#include <typeinfo>

using namespace pwnet;
using namespace gwtest;

namespace {

// A format that writes nothing and records what reaches the format's operations.
class TRecordingWriter : public TGISWrite {
public:
    struct Object {
        int32_t numParts;
        std::string attrib;
        std::vector<int32_t> indexes;
        std::vector<Part> parts;
    };
    std::vector<Object> objects;
    std::vector<std::string> points;
    int abandoned = 0;

    using TGISWrite::FSL;
    using TGISWrite::SplitAttrib;

    void Open(int32_t fields, TObjectTypes kind) {
        StartHeader(fields, kind);
        for (int i = 0; i < fields; ++i)
            AddField("f" + std::to_string(i), gfChar, 10, 0);
    }
    std::vector<std::string> Split(const std::string& row) {
        SplitAttrib(row);
        std::vector<std::string> out;
        for (size_t i = 0; i < FSL.Count(); ++i)
            out.push_back(FSL[i]);
        return out;
    }

protected:
    void BeginObject(int32_t NumParts, std::string_view Attrib) override {
        objects.push_back({NumParts, std::string(Attrib), {}, {}});
    }
    void WriteSection(int32_t Index, const TFloatPointArrayEx& SegList) override {
        objects.back().indexes.push_back(Index);
        objects.back().parts.emplace_back(SegList.Pnt.begin(), SegList.Pnt.begin() + SegList.Count);
    }
    void DoAddPoint(double, double, std::string_view Attrib) override {
        points.emplace_back(Attrib);
    }
    void AbandonObject() override { ++abandoned; }
};

std::string MessageOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const std::exception& e) {
        return e.what();
    }
    return "(no exception)";
}

// ---- Attribute rows ----------------------------------------------------------

struct SplitCase {
    std::string row;
    std::vector<std::string> values;
};

TEST(SplitAttrib, FollowsTheRowRules) {
    const SplitCase cases[] = {
        {"\"a,b\",7", {"a,b", "7"}}, // a quoted value keeps its comma
        {"a b,7", {"a", "b", "7"}},  // an unquoted space splits
        {"1,2,", {"1", "2", ""}},    // a final comma adds an empty value
        {"1, ", {"1"}},              // ... but not when blanks follow it
        {",", {"", ""}},
        {"\"ab\"cd", {"ab", "cd"}},             // text right after a quote starts a value
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}}, // doubled quotes stand for one
        {"\"open,ended", {"open,ended"}},       // a missing closing quote ends at the end
        {"  1 ,\t 2  ", {"1", "2"}},            // blanks around values and commas
        {"\"\",x", {"", "x"}},
        {"\"1km_6200_440\",\"Skagen Ø\"", {"1km_6200_440", "Skagen Ø"}},
        {"æ,ø,å", {"æ", "ø", "å"}},
        {std::string("a\0b", 3), {"a"}}, // the row ends at a NUL character
    };
    for (const auto& c : cases) {
        TRecordingWriter w;
        w.StartHeader(static_cast<int32_t>(c.values.size()), otNone);
        EXPECT_EQ(w.Split(c.row), c.values) << "row: " << c.row;
    }
}

// The usual rows (quoted names, plain numbers) are split by a shorter path; these
// rows lie on both sides of its edge and must come out as the rules say.
TEST(SplitAttrib, PlainRowsAndTheirNearNeighboursFollowTheRules) {
    const SplitCase cases[] = {
        {"\"100m_60400_4400\"", {"100m_60400_4400"}},
        {"\"10km_612_86\",\"Rønne N\"", {"10km_612_86", "Rønne N"}},
        {"4321000,3210000", {"4321000", "3210000"}},
        {"-12.5,\"a b, c\",7", {"-12.5", "a b, c", "7"}},
        {"\"a\",,\"b\"", {"a", "", "b"}},
        {",a", {"", "a"}},
        {"\"a\",", {"a", ""}},           // a final comma
        {"\"a\" ,\"b\"", {"a", "b"}},    // a blank after a value
        {"\"a\",\t\"b\"", {"a", "b"}},   // a blank after a comma
        {"\"a\"\"b\",c", {"a\"b", "c"}}, // a doubled quote
        {"\"a\"b,c", {"a", "b", "c"}},   // text right after a quote
        {"ab\"cd,e", {"ab\"cd", "e"}},   // a quote inside a plain value
        {"\"unclosed,x", {"unclosed,x"}},
        {std::string("\"a\0b\",c", 7), {"a"}},     // a NUL inside a quoted value
        {std::string("12,3\0,4", 7), {"12", "3"}}, // ... and inside a plain one
        {"\"a long value of forty characters or so!\",\"x\"",
         {"a long value of forty characters or so!", "x"}},
    };
    for (const auto& c : cases) {
        TRecordingWriter w;
        w.StartHeader(static_cast<int32_t>(c.values.size()), otNone);
        EXPECT_EQ(w.Split(c.row), c.values) << "row: " << c.row;
    }
}

TEST(SplitAttrib, RowWithAnotherNumberOfValuesIsRejected) {
    struct Case {
        std::string row;
        int32_t fields;
        std::string message;
    };
    const Case cases[] = {
        {"", 1,
         "Number of values must match number of fields. NumVal = 0, NumFields = 1, string = \"\""},
        {"a b", 1,
         "Number of values must match number of fields. NumVal = 2, NumFields = 1, string = \"a "
         "b\""},
        {"1,2,", 2,
         "Number of values must match number of fields. NumVal = 3, NumFields = 2, string = "
         "\"1,2,\""},
    };
    for (const auto& c : cases) {
        TRecordingWriter w;
        w.StartHeader(c.fields, otNone);
        EXPECT_EQ(MessageOf([&] { w.Split(c.row); }), c.message);
    }
}

// ---- Ring checks ----------------------------------------------------------------

TEST(RingChecks, RegionSectionsMustBeClosedRingsOfFourPoints) {
    const double nan = std::nan("");
    struct Case {
        Part ring;
        std::string regionMessage; // empty: accepted
    };
    const Case cases[] = {
        {{{0, 0}, {0, 1}, {1, 1}, {0, 0}}, ""},
        {Square(440000, 6200000, 1000), ""},
        {{{0, 0}, {0, 1}, {0, 0}}, "Region objects must have >=4 points"},
        {{{0, 0}}, "Region objects must have >=4 points"},
        {{{0, 0}, {0, 1}, {1, 1}, {1, 0}}, "Region objects must be closed"},
        {{{0, 0}, {0, 1}, {1, 1}, {0, 1e-9}}, "Region objects must be closed"}, // compared exactly
        {{{nan, 0}, {0, 1}, {1, 1}, {nan, 0}}, "Region objects must be closed"},
    };
    for (const auto& c : cases) {
        TRecordingWriter region;
        region.Open(0, otRegion);
        EXPECT_EQ(MessageOf([&] { AddCell(region, "", c.ring); }),
                  c.regionMessage.empty() ? "(no exception)" : c.regionMessage);
        // A polyline file takes the same sections without checks.
        TRecordingWriter pline;
        pline.Open(0, otPline);
        EXPECT_EQ(MessageOf([&] { AddCell(pline, "", c.ring); }), "(no exception)");
        ASSERT_EQ(pline.objects.size(), 1u);
        EXPECT_EQ(pline.objects[0].parts[0].size(), c.ring.size());
    }
}

TEST(RingChecks, SectionLongerThanItsPointArrayIsRejected) {
    TRecordingWriter w;
    w.Open(0, otPline);
    w.AddObject(1, false, "");
    auto s = Section({{0, 0}, {1, 1}});
    s.Count = 3;
    EXPECT_THROW(w.AddSection(0, s), ERangeError);
    s.Count = -1;
    EXPECT_THROW(w.AddSection(0, s), ERangeError);
}

// ---- Merging touching polyline sections ---------------------------------------------

std::vector<Part> MergedParts(const std::vector<Part>& sections, TRecordingWriter& w) {
    w.AddObject(static_cast<int32_t>(sections.size()), false, "row");
    for (const Part& p : sections) {
        auto s = Section(p);
        w.AddSection(0, s);
    }
    return w.objects.back().parts;
}

TEST(MergeSections, TouchingNeighboursBecomeOnePart) {
    TRecordingWriter w;
    w.SetOptimizePLinesSections(true);
    w.Open(0, otPline);
    const auto parts = MergedParts({{{0, 0}, {1, 1}}, {{1, 1}, {2, 2}}, {{5, 5}, {6, 6}}}, w);
    ASSERT_EQ(w.objects.size(), 1u);
    EXPECT_EQ(w.objects[0].numParts, 2);
    EXPECT_EQ(w.objects[0].attrib, "row");
    EXPECT_EQ(parts, (std::vector<Part>{{{0, 0}, {1, 1}, {2, 2}}, {{5, 5}, {6, 6}}}));
}

TEST(MergeSections, OnlyExactlyTouchingNeighboursInCallOrderJoin) {
    struct Case {
        std::vector<Part> sections;
        std::vector<Part> merged;
    };
    const Case cases[] = {
        // touching in x only, or in y only, stays separate
        {{{{0, 0}, {1, 1}}, {{1, 2}, {3, 3}}}, {{{0, 0}, {1, 1}}, {{1, 2}, {3, 3}}}},
        {{{{0, 0}, {1, 1}}, {{2, 1}, {3, 3}}}, {{{0, 0}, {1, 1}}, {{2, 1}, {3, 3}}}},
        // sections are never reversed: an end touching an end stays separate
        {{{{0, 0}, {1, 1}}, {{2, 2}, {1, 1}}}, {{{0, 0}, {1, 1}}, {{2, 2}, {1, 1}}}},
        // a chain of four joins into one
        {{{{0, 0}, {1, 0}}, {{1, 0}, {2, 0}}, {{2, 0}, {3, 0}, {4, 0}}, {{4, 0}, {5, 5}}},
         {{{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 5}}}},
        // a one-point section at the join point adds nothing but merges away
        {{{{0, 0}, {1, 0}}, {{1, 0}}}, {{{0, 0}, {1, 0}}}},
        // only the segment collected just before is a candidate
        {{{{0, 0}, {1, 0}}, {{7, 7}, {8, 8}}, {{1, 0}, {2, 0}}},
         {{{0, 0}, {1, 0}}, {{7, 7}, {8, 8}}, {{1, 0}, {2, 0}}}},
    };
    // One writer for all cases: the segment table is reused across objects.
    TRecordingWriter w;
    w.SetOptimizePLinesSections(true);
    w.Open(0, otPline);
    for (const auto& c : cases) {
        const auto parts = MergedParts(c.sections, w);
        EXPECT_EQ(parts, c.merged);
        EXPECT_EQ(w.objects.back().numParts, static_cast<int32_t>(c.merged.size()));
    }
}

TEST(MergeSections, AppliesOnlyToPolylineObjectsOfTwoOrMoreParts) {
    TRecordingWriter region;
    region.SetOptimizePLinesSections(true);
    region.Open(0, otRegion);
    const Part ring = {{0, 0}, {0, 1}, {1, 1}, {0, 0}};
    const auto parts = MergedParts({ring, ring}, region);
    EXPECT_EQ(parts.size(), 2u);

    TRecordingWriter off; // switched off: every section reaches the format as given
    off.Open(0, otPline);
    EXPECT_EQ(MergedParts({{{0, 0}, {1, 1}}, {{1, 1}, {2, 2}}}, off).size(), 2u);
}

TEST(MergeSections, PropertyMayChangeBetweenObjectsButNotWithinOne) {
    TRecordingWriter w;
    w.Open(0, otPline);
    w.SetOptimizePLinesSections(true);
    w.AddObject(2, false, "");
    auto s = Section({{0, 0}, {1, 1}});
    w.AddSection(0, s);
    EXPECT_EQ(MessageOf([&] { w.SetOptimizePLinesSections(false); }),
              "Can not change the OptimizePLinesSections property during processing sections.");
    w.SetOptimizePLinesSections(true); // the same value is no change
    auto t = Section({{1, 1}, {2, 2}});
    w.AddSection(0, t);
    w.SetOptimizePLinesSections(false);
    EXPECT_FALSE(w.OptimizePLinesSections());
}

// A deferred object abandoned half-way must not leak its sections into the next one.
TEST(MergeSections, AbandonedDeferredObjectDoesNotLeakIntoTheNext) {
    TRecordingWriter w;
    w.SetOptimizePLinesSections(true);
    w.Open(0, otPline);
    w.AddObject(3, false, "lost");
    auto a = Section({{9, 9}, {8, 8}});
    w.AddSection(0, a);
    const auto parts = MergedParts({{{0, 0}, {1, 1}}, {{1, 1}, {2, 2}}}, w);
    ASSERT_EQ(w.objects.size(), 1u);
    EXPECT_EQ(w.objects[0].attrib, "row");
    EXPECT_EQ(parts, (std::vector<Part>{{{0, 0}, {1, 1}, {2, 2}}}));
    EXPECT_EQ(w.abandoned, 0); // nothing of it had reached the format
}

// ---- Great-circle densification ------------------------------------------------------

double Angle(const TFloatPoint& a, const TFloatPoint& b) {
    return GreatCircleAngle(a, b);
}

TEST(Densify, OffLeavesSectionsAlone) {
    TRecordingWriter w;
    w.Open(0, otPline);
    auto s = Section({{0, 0}, {90, 0}});
    w.AddObject(1, false, "");
    w.AddSection(0, s);
    EXPECT_EQ(s.Count, 2);
    EXPECT_EQ(w.objects[0].parts[0], (Part{{0, 0}, {90, 0}}));
}

TEST(Densify, InsertsPointsAtEqualAngularStepsOnTheGreatCircle) {
    struct Case {
        Part pts;
        double dist;
    };
    const Case cases[] = {
        {{{0, 0}, {10, 0}}, 100},                                  // along the equator, eastwards
        {{{10, 0}, {0, 0}}, 100},                                  // westwards
        {{{12, 55}, {12, 56}}, 10},                                // along a meridian, northwards
        {{{8.1, 54.6}, {15.2, 57.8}, {15.2, 57.8}, {10, 57}}, 25}, // Denmark, a repeated point
        {{{-170, 10}, {170, 20}}, 300},                            // across the antimeridian
    };
    for (const auto& c : cases) {
        TRecordingWriter w;
        w.GreatCircleDist = c.dist;
        w.Open(0, otPline);
        auto s = Section(c.pts);
        w.AddObject(1, false, "");
        w.AddSection(0, s);
        const Part& out = w.objects[0].parts[0];

        size_t expected = c.pts.size();
        size_t at = 0; // index in out of original point k
        for (size_t k = 0; k + 1 < c.pts.size(); ++k) {
            const double d = Angle(c.pts[k], c.pts[k + 1]);
            const auto n = static_cast<size_t>(std::trunc(d * EarthRadiusKm / c.dist));
            expected += n;
            ASSERT_LT(at + n + 1, out.size() + 0);
            EXPECT_EQ(out[at], c.pts[k]);
            EXPECT_EQ(out[at + n + 1], c.pts[k + 1]); // the original points stay exact
            for (size_t j = 1; j <= n + 1; ++j) {
                // every step spans the same angle, and no step is longer than the spacing
                EXPECT_NEAR(Angle(out[at + j - 1], out[at + j]), d / static_cast<double>(n + 1),
                            1e-9);
                EXPECT_LE(Angle(out[at + j - 1], out[at + j]) * EarthRadiusKm, c.dist + 1e-6);
            }
            at += n + 1;
        }
        EXPECT_EQ(out.size(), expected);
        EXPECT_EQ(static_cast<size_t>(s.Count), expected); // lengthened in place
        EXPECT_GE(s.Pnt.size(), expected);
    }
}

TEST(Densify, EquatorPointsAreEvenlySpacedInLongitude) {
    TRecordingWriter w;
    w.GreatCircleDist = 100; // 10 degrees of equator are 1113.2 km: 11 points between
    w.Open(0, otPline);
    w.AddObject(1, false, "");
    w.AddSection2(0, 0, 0, 10, 0);
    const Part& out = w.objects[0].parts[0];
    ASSERT_EQ(out.size(), 13u);
    for (size_t j = 0; j < out.size(); ++j) {
        EXPECT_NEAR(out[j].x, 10.0 * static_cast<double>(j) / 12, 1e-9);
        EXPECT_NEAR(out[j].y, 0, 1e-9);
    }
}

TEST(Densify, SpacingTooSmallForAnySectionIsRejected) {
    TRecordingWriter w;
    w.GreatCircleDist = 1e-12;
    w.Open(0, otPline);
    w.AddObject(1, false, "");
    EXPECT_THROW(w.AddSection2(0, 0, 0, 90, 0), ERangeError);
}

// ---- Section helpers and lines ---------------------------------------------------

TEST(SectionHelpers, PassTheirPointsOn) {
    TRecordingWriter w;
    w.Open(0, otPline);
    TFloatPointArrayEx2 s2;
    s2.Pnt = {{1, 1}, {2, 2}, {3, 3}, {9, 9}};
    s2.Last = 2;
    w.AddObject(4, false, "");
    w.AddSection1(0, s2, false);
    w.AddSection1(0, s2, true);
    w.AddSection2(1, 5, 6, 7, 8);
    w.AddSection3(-1, TFloatPoint{1, 2}, TFloatPoint{3, 4});
    const auto& o = w.objects[0];
    EXPECT_EQ(o.parts[0], (Part{{1, 1}, {2, 2}, {3, 3}}));
    EXPECT_EQ(o.parts[1], (Part{{3, 3}, {2, 2}, {1, 1}}));
    EXPECT_EQ(o.parts[2], (Part{{5, 6}, {7, 8}}));
    EXPECT_EQ(o.parts[3], (Part{{1, 2}, {3, 4}}));
    EXPECT_EQ(o.indexes, (std::vector<int32_t>{0, 0, 1, -1}));
}

TEST(AddLine, MakesAOnePartObjectOnlyInPolylineFiles) {
    for (TObjectTypes kind : {otPline, otRegion, otPoint, otNone}) {
        TRecordingWriter w;
        w.Open(1, kind);
        w.AddLine(1, 2, 3, 4, "a");
        w.AddLine2(TFloatPoint{5, 6}, TFloatPoint{7, 8}, "b");
        if (kind != otPline) {
            EXPECT_TRUE(w.objects.empty());
            continue;
        }
        ASSERT_EQ(w.objects.size(), 2u);
        EXPECT_EQ(w.objects[0].attrib, "a");
        EXPECT_EQ(w.objects[0].parts, (std::vector<Part>{{{1, 2}, {3, 4}}}));
        EXPECT_EQ(w.objects[1].parts, (std::vector<Part>{{{5, 6}, {7, 8}}}));
    }
}

// ---- Calling protocol -----------------------------------------------------------------

TEST(Protocol, CallsOutOfOrderAreRejected) {
    TRecordingWriter w;
    auto s = Section({{0, 0}, {1, 1}});
    EXPECT_THROW(w.AddField("a", gfChar, 5, 0), Exception); // before StartHeader
    EXPECT_THROW(w.AddObject(1, false, "x"), Exception);
    EXPECT_THROW(w.AddPoint(1, 2, "x"), Exception);
    w.StartHeader(1, otPline);
    EXPECT_THROW(w.StartHeader(1, otPline), Exception);  // one output per writer
    EXPECT_THROW(w.AddObject(1, false, "x"), Exception); // before the fields
    w.AddField("a", gfChar, 5, 0);
    EXPECT_THROW(w.AddField("b", gfChar, 5, 0), Exception); // more than announced
    EXPECT_THROW(w.AddSection(0, s), Exception);            // no object
    w.AddObject(1, false, "x");
    w.AddSection(0, s);
    EXPECT_THROW(w.AddSection(0, s), Exception); // more parts than announced
    EXPECT_EQ(w.objects.size(), 1u);
    w.Close();
    EXPECT_THROW(w.AddObject(1, false, "x"), Exception); // after Close
    EXPECT_NO_THROW(w.Close());                          // a second Close does nothing
}

TEST(Protocol, FieldsAreRecordedInColumnOrderAndEmptiedByClose) {
    TRecordingWriter w;
    w.StartHeader(2, otRegion);
    ASSERT_EQ(w.FieldInfo().size(), 3u); // entry 0 unused
    w.AddField("KN1kmDK", gfChar, 20, 0);
    w.AddField("Areal", gfDecimal, 12, 2);
    EXPECT_EQ(w.FieldInfo()[1].Name, "KN1kmDK");
    EXPECT_EQ(w.FieldInfo()[2].FieldType, gfDecimal);
    EXPECT_EQ(w.FieldInfo()[2].Width, 12);
    EXPECT_EQ(w.FieldInfo()[2].decimals, 2);
    w.Close();
    EXPECT_TRUE(w.FieldInfo().empty());
}

TEST(Protocol, ObjectLeftIncompleteIsAbandonedOnceBeforeTheNext) {
    TRecordingWriter w;
    w.Open(0, otRegion);
    w.AddObject(2, false, "");
    auto ring = Section(Square(0, 0, 1));
    w.AddSection(0, ring);
    auto open = Section({{0, 0}, {0, 1}, {1, 1}, {1, 0}});
    EXPECT_THROW(w.AddSection(0, open), Exception);
    EXPECT_EQ(w.abandoned, 0);
    AddCell(w, "", Square(1, 0, 1));
    EXPECT_EQ(w.abandoned, 1);
    w.AddObject(1, false, "");
    w.Close(); // the last object, too, is finished by Close
    EXPECT_EQ(w.abandoned, 2);
}

TEST(Protocol, CodepageDefaultsToTheSystemCodePageAndIsFixedWhileOpen) {
    TRecordingWriter w;
    EXPECT_EQ(w.Codepage(), GetSystemAnsiCodePage());
    EXPECT_EQ(w.Codepage(), 1252);
    w.SetCodepage(65001);
    EXPECT_EQ(w.Codepage(), 65001);
    w.StartHeader(0, otNone);
    EXPECT_THROW(w.SetCodepage(1252), Exception);
    EXPECT_EQ(w.Codepage(), 65001);
}

TEST(Protocol, PublicSettingsStartAtTheirDefaults) {
    TRecordingWriter w;
    EXPECT_EQ(w.Brush, DefaultBrush);
    EXPECT_EQ(w.Pen, DefaultPen);
    EXPECT_EQ(w.Symbol, DefaultSymbol);
    EXPECT_EQ(w.CoordSys, "CoordSys Earth Projection 1, 104");
    EXPECT_EQ(w.epsg, 4326);
    EXPECT_EQ(w.PRJ, DefaultPRJ);
    EXPECT_EQ(w.GreatCircleDist, 0);
    EXPECT_FALSE(w.CompactMIF);
    EXPECT_FALSE(w.OptimizePLinesSections());
    EXPECT_EQ(w.WrittenRecords(), 0);
    EXPECT_EQ(w.GISarray, nullptr);
}

TEST(Protocol, MapInfoColoursSwapTheLowestAndThirdByte) {
    EXPECT_EQ(ColorToMapInfo(0x000000FF), 0x00FF0000u);
    EXPECT_EQ(ColorToMapInfo(0x00112233), 0x00332211u);
    EXPECT_EQ(ColorToMapInfo(0x0000FF00), 0x0000FF00u);
}

// ---- Factory ---------------------------------------------------------------------

TEST(Factory, GivesEachFormatItsWriterAndMifForTheRest) {
    struct Case {
        int32_t value;
        const std::type_info& type;
    };
    const Case cases[] = {
        {gfMIF, typeid(TGISWriteMIF)},
        {gfDBF, typeid(TGISWriteDBF)},
        {gfSHP, typeid(TGISWriteSHP)},
        {gfMIF8, typeid(TGISWriteMIF8)},
        // MITAB is bound from the adapter beside the program when it was built;
        // a library that cannot be loaded falls back to MIF/MID
        {gfMITAB, MitabAvailable() ? typeid(TGISWriteMITAB) : typeid(TGISWriteMIF)},
        {gfMFAL, typeid(TGISWriteMIF)},
        {gfCSV, typeid(TGISWriteCSV)},
        {gfArray, typeid(TGISWriteArray)},
        {gfGML2, typeid(TGISWriteGML2)},
        {gfKML2, typeid(TGISWriteKML2)},
        {gfGeoJSON, typeid(TGISWriteGeoJSON)},
        {gfGPKG, typeid(TGISWriteGPKG)},
        // unknown values
        {12, typeid(TGISWriteMIF)},
        {-1, typeid(TGISWriteMIF)},
        {1000, typeid(TGISWriteMIF)},
    };
    for (const auto& c : cases) {
        auto w = TGISWrite::GetGISObject(static_cast<TGISFormat>(c.value));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(typeid(*w), c.type) << "format value " << c.value;
    }
    EXPECT_EQ(TGISWrite::GetGISObject(gfMIF8)->Codepage(), 65001);
    EXPECT_EQ(TGISWrite::GetGISObject(gfMIF)->Codepage(), 1252);
}

TEST(Factory, LibrariesReportTheirBinding) {
    EXPECT_EQ(TGISWrite::MITAB_supported(), LoadMitab() == MitabLoaded);
    EXPECT_EQ(TGISWrite::MITAB_supported(), MitabAvailable());
    EXPECT_FALSE(TGISWrite::MFAL_supported());
    EXPECT_EQ(MfalStatus(), MfalNotLoadable);
    EXPECT_EQ(LoadMfal(), MfalNotLoadable);
}

} // namespace
