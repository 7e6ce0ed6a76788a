#include "grid_files.h"

#include "cli_options.h"

namespace quadrel::cli {

namespace {

// The extensions of each writer's files beside the main one (TRunFormat::Extension).
// A format not listed here writes its main file alone.
struct TWriterFiles {
    pwnet::TGISFormat Writer;
    std::vector<std::string_view> Extensions;
};

const TWriterFiles WriterFiles[] = {
    {pwnet::gfSHP, {".shp", ".shx", ".dbf", ".cpg"}},
    {pwnet::gfMIF, {".mif", ".mid"}},
    {pwnet::gfMITAB, {".tab", ".map", ".dat", ".id"}},
    {pwnet::gfGML2, {".xml", ".xsd"}},
};

// Code points of UTF-8 text: every byte that does not continue a sequence.
size_t CodePoints(std::string_view Text) {
    size_t n = 0;
    for (const char c : Text)
        n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return n;
}

} // namespace

void CheckFilePrefix(std::string_view Name, bool ShortNames) {
    if (Name.find_first_of("/\\") != std::string_view::npos)
        throw EUsageError("--name is the base name of the files and cannot hold a folder "
                          "separator; give the folder with --output");
    if (ShortNames && CodePoints(Name) > 8)
        throw EUsageError("--name \"" + std::string(Name) +
                          "\" is longer than the 8 characters of shp83's file names");
}

std::vector<std::string> GridFileNames(const TRunFormat& Format, TGridKind Kind,
                                       const std::string& Prefix) {
    std::vector<std::string> names{Prefix + std::string(Format.Extension)};
    for (const TWriterFiles& w : WriterFiles)
        if (w.Writer == Format.Writer)
            for (std::string_view ext : w.Extensions)
                if (ext != Format.Extension)
                    names.push_back(Prefix + std::string(ext));
    if (Format.ShapefileSideFiles) {
        if (Kind == gkDKN)
            names.push_back(Prefix + ".avl");
        names.push_back(Prefix + ".prj");
    }
    return names;
}

std::string DisplayPath(const std::string& Folder, const std::string& Name) {
    if (Folder.empty())
        return Name;
    return Folder.back() == '/' ? Folder + Name : Folder + "/" + Name;
}

TGridFileWatch::TGridFileWatch(std::string Folder, std::vector<std::string> Names)
    : FFolder(std::move(Folder)), FNames(std::move(Names)) {
    for (const std::string& name : FNames)
        FBefore.push_back(Stamp(name));
}

TGridFileWatch::TStamp TGridFileWatch::Stamp(const std::string& Name) const {
    struct stat st {};
    // lstat: a link named like a grid file is not the run's file.
    if (lstat(DisplayPath(FFolder, Name).c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return {};
    return {true, st.st_dev, st.st_ino, st.st_size, st.st_mtim};
}

std::vector<TWrittenFile> TGridFileWatch::Written() const {
    std::vector<TWrittenFile> files;
    for (size_t i = 0; i < FNames.size(); ++i) {
        const TStamp now = Stamp(FNames[i]);
        const TStamp& was = FBefore[i];
        const bool same = was.Exists && was.Device == now.Device && was.Inode == now.Inode &&
                          was.Size == now.Size && was.Modified.tv_sec == now.Modified.tv_sec &&
                          was.Modified.tv_nsec == now.Modified.tv_nsec;
        if (now.Exists && !same)
            files.push_back({FNames[i], DisplayPath(FFolder, FNames[i]), now.Size});
    }
    return files;
}

} // namespace quadrel::cli
