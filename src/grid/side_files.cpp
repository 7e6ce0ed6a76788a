#include "side_files.h"

#include "errors.h"
#include "output_files.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace quadrel {

namespace {

// ETRS89 / ETRS-LAEA (EPSG:3035).
constexpr std::string_view EuroGridPrj =
    "PROJCS[\"ETRS89 / ETRS-LAEA\",GEOGCS[\"ETRS89\",DATUM[\"D_ETRS_1989\","
    "SPHEROID[\"GRS_1980\",6378137,298.257222101]],PRIMEM[\"Greenwich\",0],"
    "UNIT[\"Degree\",0.017453292519943295]],PROJECTION[\"Lambert_Azimuthal_Equal_Area\"],"
    "PARAMETER[\"latitude_of_origin\",52],PARAMETER[\"central_meridian\",10],"
    "PARAMETER[\"false_easting\",4321000],PARAMETER[\"false_northing\",3210000],"
    "UNIT[\"Meter\",1]]";

// ETRS89 / UTM zone 32N (EPSG:25832) in ESRI's spelling: Greenwich as the prime
// meridian and 9 degrees east as the central meridian of the zone.
constexpr std::string_view DKNPrj =
    "PROJCS[\"ETRS_1989_UTM_Zone_32N\",GEOGCS[\"GCS_ETRS_1989\",DATUM[\"D_ETRS_1989\","
    "SPHEROID[\"GRS_1980\",6378137.0,298.257222101]],PRIMEM[\"Greenwich\",0.0],"
    "UNIT[\"Degree\",0.0174532925199433]],PROJECTION[\"Transverse_Mercator\"],"
    "PARAMETER[\"False_Easting\",500000.0],PARAMETER[\"False_Northing\",0.0],"
    "PARAMETER[\"Central_Meridian\",9.0],PARAMETER[\"Scale_Factor\",0.9996],"
    "PARAMETER[\"Latitude_Of_Origin\",0.0],UNIT[\"Meter\",1.0]]";

// One line of the legend. A colour line carries the index of its component
// (0-2 fill red, green, blue; 3-5 outline red, green, blue) and is written only
// when that component is not zero; Text is then the part before the value.
struct TAvlLine {
    std::string_view Text;
    int Component; // -1: a fixed line
};

// ArcView's object-database text form of a legend with one symbol: fill colour
// (block 5), outline colour (block 6), white background (block 7).
constexpr TAvlLine AvlLines[] = {
    {"/3.1", -1},
    {"(ODB.1", -1},
    {"\tFirstRootClassName:\t\"Legend\"", -1},
    {"\tRoots:\t2", -1},
    {"\tVersion:\t31", -1},
    {")", -1},
    {"", -1},
    {"(Legend.2", -1},
    {"\tSymType:\t0x02", -1},
    {"\tLegType:\t0x01", -1},
    {"\tClassType:\t0x03", -1},
    {"\tSymbols:\t3", -1},
    {"\tClass:\t9", -1},
    {"\tStdDevs:\t1.00000000000000", -1},
    {"\tNullSym:\t10", -1},
    {"\tNullValues:\t14", -1},
    {"\tStatValues:\t15", -1},
    {"\tPrecision:\t-3", -1},
    {")", -1},
    {"", -1},
    {"(SymList.3", -1},
    {"\tChild:\t4", -1},
    {")", -1},
    {"", -1},
    {"(BShSym.4", -1},
    {"\tColor:\t5", -1},
    {"\tOutline:\t1", -1},
    {"\tOutlineColor:\t6", -1},
    {"\tOutlineWidth:\t0.10000000000000", -1},
    {"\tBgColor:\t7", -1},
    {"\tStyle:\t0x01", -1},
    {"\tStipple:\t8", -1},
    {")", -1},
    {"", -1},
    {"(TClr.5", -1},
    {"  Red:    ", 0},
    {" \tGreen:  ", 1},
    {"  Blue:   ", 2},
    {")", -1},
    {"", -1},
    {"(TClr.6", -1},
    {" \tRed:    ", 3},
    {" \tGreen:  ", 4},
    {"  Blue:   ", 5},
    {")", -1},
    {"", -1},
    {"(TClr.7", -1},
    {"\tRed:\t 0xffff", -1},
    {"\tGreen: 0xffff", -1},
    {"\tBlue:\t 0xffff", -1},
    {")", -1},
    {"", -1},
    {"(Stipple.8", -1},
    {"\tColumns:\t8", -1},
    {"\tRows:\t8", -1},
    {"\tBits:\t00000000 00000000", -1},
    {")", -1},
    {"", -1},
    {"(LClass.9", -1},
    {"\tIsText:\t1", -1},
    {"\tPrecision:\t-3", -1},
    {")", -1},
    {"", -1},
    {"(BShSym.10", -1},
    {"\tColor:\t11", -1},
    {"\tOutline:\t1", -1},
    {"\tOutlineColor:\t12", -1},
    {"\tOutlineWidth:\t0.10000000000000", -1},
    {"\tBgColor:\t13", -1},
    {")", -1},
    {"", -1},
    {"(TClr.11", -1},
    {"\tName:\t\"Transparent\"", -1},
    {")", -1},
    {"", -1},
    {"(TClr.12", -1},
    {"\tName:\t\"Transparent\"", -1},
    {")", -1},
    {"", -1},
    {"(TClr.13", -1},
    {"\tRed:\t 0xffff", -1},
    {"\tGreen: 0xffff", -1},
    {"\tBlue:\t 0xffff", -1},
    {")", -1},
    {"", -1},
    {"(NameDict.14", -1},
    {")", -1},
    {"", -1},
    {"(NameDict.15", -1},
    {")", -1},
};

// The six 16-bit colour components per DKN size tag: fill red, green, blue, then
// outline red, green, blue. The outlines match the pen colours of the other formats.
struct TAvlColours {
    int32_t SizeTag;
    uint16_t Component[6];
};

constexpr TAvlColours AvlColours[] = {
    {1, {0xa1d5, 0x48ce, 0x8962, 0x0000, 0x0000, 0xffff}}, // 100 m, blue
    {2, {0xccca, 0x7944, 0x551c, 0xff00, 0xad9f, 0x00fe}}, // 250 m, orange
    {3, {0xbca5, 0x201b, 0xd844, 0xffff, 0x0000, 0x0000}}, // 1 km, red
    {4, {0xffff, 0x0000, 0x0000, 0x0000, 0xffff, 0x0000}}, // 10 km, green
    {5, {0xffff, 0x0000, 0x0000, 0xa5a5, 0xa5a5, 0xa5a5}}, // 100 km, grey
    {6, {0x5c97, 0x7151, 0xd36c, 0x0000, 0x0000, 0x0000}}, // 500 m, black
    {7, {0x5c97, 0x7151, 0xd36c, 0x0000, 0x0000, 0x0000}}, // 5 km, black
    {8, {0x5c97, 0x7151, 0xd36c, 0x0000, 0x0000, 0x0000}}, // 2 km, black
};

std::string Reason(int ErrorCode) {
    return std::strerror(ErrorCode);
}

// Writes Bytes as the whole content of Path + Extension, through a temporary of the
// output Path that takes the file's name only when every byte is written: an earlier
// file of that name stays as it was until then, a link in its place is replaced, not
// followed. Every failure, including one that only shows when the file is closed (a
// full disk, a network file system), raises EInOutError.
void WriteWholeFile(const std::string& Path, std::string_view Extension, std::string_view Bytes) {
    const std::string name = Path + std::string(Extension);
    pwnet::TOutputFiles file(Path);
    const pwnet::TOutputFiles::TCreated created = file.Create(name);
    const int fd = created.Handle;
    if (fd < 0)
        throw EInOutError("Cannot create file \"" + name + "\": " + created.Reason);
    int error = 0;
    for (size_t done = 0; done < Bytes.size() && !error;) {
        const ssize_t n = ::write(fd, Bytes.data() + done, Bytes.size() - done);
        if (n > 0)
            done += static_cast<size_t>(n);
        else if (n < 0 && errno != EINTR)
            error = errno;
        else if (n == 0)
            error = EIO;
    }
    if (::close(fd) != 0 && !error && errno != EINTR)
        error = errno;
    if (error)
        throw EInOutError("Cannot write file \"" + name + "\": " + Reason(error));
    try {
        file.Commit();
    } catch (const EWriteError& e) {
        throw EInOutError(e.Description());
    }
}

} // namespace

std::string_view PrjText(TGridKind Kind) {
    return Kind == gkEuroGrid ? EuroGridPrj : DKNPrj;
}

std::string AvlText(int32_t SizeTag) {
    const TAvlColours* colours = nullptr;
    for (const auto& c : AvlColours)
        if (c.SizeTag == SizeTag)
            colours = &c;
    if (!colours)
        throw ERangeError("No legend colours for DKN grid size tag " + std::to_string(SizeTag));
    std::string text;
    text.reserve(1600);
    for (const auto& line : AvlLines) {
        if (line.Component >= 0) {
            const uint16_t value = colours->Component[line.Component];
            if (value == 0)
                continue;
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%04x", value);
            text += line.Text;
            text += hex;
        } else {
            text += line.Text;
        }
        text += "\r\n";
    }
    return text;
}

void WritePrjFile(const std::string& Path, TGridKind Kind) {
    WriteWholeFile(Path, ".prj", PrjText(Kind));
}

void WriteAvlFile(const std::string& Path, int32_t SizeTag) {
    // Build the text first: an unknown size must not leave an empty legend behind.
    const std::string text = AvlText(SizeTag);
    WriteWholeFile(Path, ".avl", text);
}

} // namespace quadrel
