// The data files around the maps: the copies beside the programs in the build tree,
// the help page (well-formed, self-contained, its links resolve) and the icon.

#include "temp_dir.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QXmlStreamReader>
#include <filesystem>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

namespace fs = std::filesystem;

const fs::path kDataDir = QUADREL_SOURCE_DATA_DIR;

std::vector<std::string> DataFiles() {
    std::vector<std::string> files;
    std::stringstream list(QUADREL_DATA_FILES);
    for (std::string f; std::getline(list, f, ',');)
        files.push_back(f);
    return files;
}

// The program finds its data in its own folder; in the build tree that is bin/,
// where this test runs from too.
TEST(DataBesideTheProgram, EveryFileIsAnExactCopy) {
    const fs::path bin = fs::read_symlink("/proc/self/exe").parent_path();
    const auto files = DataFiles();
    ASSERT_FALSE(files.empty());
    for (const auto& f : files) {
        ASSERT_TRUE(fs::exists(bin / f)) << f << " is not in " << bin;
        EXPECT_EQ(testutil::ReadFileBytes(bin / f), testutil::ReadFileBytes(kDataDir / f))
            << f << " in " << bin << " differs from the one in data/";
    }
}

// What one pass over an XML document finds.
struct XmlScan {
    std::string error;
    std::vector<std::string> ids;
    std::vector<std::string> fragmentLinks; // href="#..." without the '#'
    std::vector<std::string> otherLinks;    // any other href
    std::vector<std::string> sources;       // src attributes
    std::map<std::string, int> elements;
    int count(const std::string& element) const {
        auto it = elements.find(element);
        return it == elements.end() ? 0 : it->second;
    }
    std::string title;
    std::string rootViewBox;
};

XmlScan ScanXml(const fs::path& path) {
    XmlScan scan;
    QXmlStreamReader xml(QByteArray::fromStdString(testutil::ReadFileBytes(path)));
    bool inTitle = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement()) {
            const std::string name = xml.name().toString().toStdString();
            if (scan.elements.empty() && xml.attributes().hasAttribute("viewBox"))
                scan.rootViewBox = xml.attributes().value("viewBox").toString().toStdString();
            ++scan.elements[name];
            inTitle = name == "title" && scan.title.empty();
            for (const auto& a : xml.attributes()) {
                const std::string key = a.name().toString().toStdString();
                const std::string value = a.value().toString().toStdString();
                if (key == "id")
                    scan.ids.push_back(value);
                if (key == "href" && value.starts_with("#"))
                    scan.fragmentLinks.push_back(value.substr(1));
                else if (key == "href")
                    scan.otherLinks.push_back(value);
                if (key == "src")
                    scan.sources.push_back(value);
            }
        } else if (xml.isCharacters() && inTitle) {
            scan.title += xml.text().toString().toStdString();
        } else if (xml.isEndElement()) {
            inTitle = false;
        }
    }
    if (xml.hasError())
        scan.error =
            xml.errorString().toStdString() + " at line " + std::to_string(xml.lineNumber());
    return scan;
}

// The page is opened from the data folder by the desktop's browser, possibly offline:
// it must need nothing else, and every link inside it must lead somewhere.
TEST(HelpPage, IsWellFormedSelfContainedAndItsLinksResolve) {
    const XmlScan page = ScanXml(kDataDir / "quadrel.html");
    ASSERT_EQ(page.error, "");
    EXPECT_EQ(page.title, "Quadrel help");
    EXPECT_EQ(page.count("h1"), 1);
    EXPECT_EQ(page.count("script"), 0);
    EXPECT_EQ(page.count("link"), 0) << "no style sheets or other files from outside";
    EXPECT_TRUE(page.sources.empty()) << "no images or frames from outside: " << page.sources[0];
    EXPECT_TRUE(page.otherLinks.empty()) << "a link leaves the page: " << page.otherLinks[0];

    const std::set<std::string> ids(page.ids.begin(), page.ids.end());
    EXPECT_EQ(ids.size(), page.ids.size()) << "an id is used twice";
    for (const auto& target : page.fragmentLinks)
        EXPECT_TRUE(ids.count(target)) << "link to #" << target << " leads nowhere";
    EXPECT_GE(page.fragmentLinks.size(), 10u) << "the table of contents is missing";
}

TEST(Icon, PngIsASquareImageWithTransparentCornersAndSvgIsScalable) {
    QImage png;
    ASSERT_TRUE(png.load(QString::fromStdString((kDataDir / "quadrel.png").string())));
    EXPECT_EQ(png.width(), 256);
    EXPECT_EQ(png.height(), 256);
    ASSERT_TRUE(png.hasAlphaChannel());
    // Rounded corners: the very corner is clear, the middle is opaque.
    EXPECT_EQ(png.pixelColor(0, 0).alpha(), 0);
    EXPECT_EQ(png.pixelColor(255, 255).alpha(), 0);
    EXPECT_EQ(png.pixelColor(128, 128).alpha(), 255);

    const XmlScan svg = ScanXml(kDataDir / "quadrel.svg");
    ASSERT_EQ(svg.error, "");
    EXPECT_EQ(svg.rootViewBox, "0 0 256 256");
    EXPECT_EQ(svg.count("svg"), 1);
}

} // namespace
