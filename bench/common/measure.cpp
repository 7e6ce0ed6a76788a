#include "measure.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <gdal.h>
#include <ogr_api.h>
#include <ogr_srs_api.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace benchutil {

using Clock = std::chrono::steady_clock;

uint64_t OutputBytes(const std::string& Folder) {
    uint64_t total = 0;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        if (e.is_regular_file())
            total += e.file_size();
    return total;
}

Result RunInChild(const char* Name, const std::function<void()>& Work, const std::string& Folder) {
    int fds[2];
    if (pipe(fds) != 0) {
        std::perror("pipe");
        std::exit(1);
    }
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        rusage before{};
        getrusage(RUSAGE_SELF, &before);
        Result r;
        r.baseKiB = before.ru_maxrss;
        const auto t0 = Clock::now();
        Work();
        r.seconds = std::chrono::duration<double>(Clock::now() - t0).count();
        r.bytes = OutputBytes(Folder);
        if (write(fds[1], &r, sizeof r) != static_cast<ssize_t>(sizeof r))
            _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Result r;
    const bool got = read(fds[0], &r, sizeof r) == static_cast<ssize_t>(sizeof r);
    close(fds[0]);
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "%s failed\n", Name);
        std::exit(1);
    }
    r.peakKiB = usage.ru_maxrss;
    r.cpuSeconds = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                   static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
    for (const auto& e : std::filesystem::directory_iterator(Folder))
        std::filesystem::remove(e.path());
    return r;
}

Result Measure(const char* Name, const std::function<void()>& Work, const std::string& Folder,
               int Runs) {
    std::vector<Result> all;
    for (int i = 0; i < Runs; ++i)
        all.push_back(RunInChild(Name, Work, Folder));
    std::sort(all.begin(), all.end(),
              [](const Result& a, const Result& b) { return a.seconds < b.seconds; });
    Result r = all[all.size() / 2];
    for (const Result& x : all)
        r.peakKiB = std::max(r.peakKiB, x.peakKiB);
    return r;
}

OutputFolder::OutputFolder(std::string Given, const char* Prefix) : FPath(std::move(Given)) {
    if (!FPath.empty())
        return;
    std::string tmpl =
        (std::filesystem::temp_directory_path() / (std::string(Prefix) + "-XXXXXX")).string();
    if (!mkdtemp(tmpl.data())) {
        std::perror("mkdtemp");
        std::exit(1);
    }
    FPath = tmpl;
    FOwn = true;
}

OutputFolder::~OutputFolder() {
    if (FOwn)
        std::filesystem::remove_all(FPath);
}

void WriteSquaresWithGdal(const SquareGrid& Grid, CellNamer Name, const char* DriverName,
                          const std::string& Path, char** Options, const char* LayerName,
                          const char* FieldName, int Epsg) {
    GDALAllRegister();
    GDALDriverH driver = GDALGetDriverByName(DriverName);
    GDALDatasetH ds = GDALCreate(driver, Path.c_str(), 0, 0, 0, GDT_Unknown, Options);
    if (!ds) {
        std::fprintf(stderr, "GDAL cannot create %s\n", Path.c_str());
        std::exit(1);
    }
    OGRSpatialReferenceH srs = OSRNewSpatialReference(nullptr);
    OSRImportFromEPSG(srs, Epsg);
    OGRLayerH layer = GDALDatasetCreateLayer(ds, LayerName, srs, wkbPolygon, nullptr);
    OGRFieldDefnH field = OGR_Fld_Create(FieldName, OFTString);
    OGR_Fld_SetWidth(field, 20);
    OGR_L_CreateField(layer, field, TRUE);
    OGR_Fld_Destroy(field);

    const bool transaction = GDALDatasetTestCapability(ds, ODsCTransactions) &&
                             GDALDatasetStartTransaction(ds, FALSE) == OGRERR_NONE;
    OGRFeatureH feature = OGR_F_Create(OGR_L_GetLayerDefn(layer));
    OGRGeometryH polygon = OGR_G_CreateGeometry(wkbPolygon);
    OGRGeometryH ring = OGR_G_CreateGeometry(wkbLinearRing);
    for (int k = 0; k < 5; ++k)
        OGR_G_AddPoint_2D(ring, 0, 0);
    OGR_G_AddGeometryDirectly(polygon, ring);
    ring = OGR_G_GetGeometryRef(polygon, 0);
    const double size = Grid.Size;
    char name[64];
    for (int64_t i = 0; i < Grid.Cells; ++i) {
        const int64_t col = i / Grid.Rows, row = i % Grid.Rows;
        const double x = Grid.X0 + size * static_cast<double>(col);
        const double y = Grid.Y0 + size * static_cast<double>(row);
        OGR_G_SetPoint_2D(ring, 0, x, y);
        OGR_G_SetPoint_2D(ring, 1, x, y + size);
        OGR_G_SetPoint_2D(ring, 2, x + size, y + size);
        OGR_G_SetPoint_2D(ring, 3, x + size, y);
        OGR_G_SetPoint_2D(ring, 4, x, y);
        Name(col, row, x, y, name);
        OGR_F_SetFieldString(feature, 0, name);
        OGR_F_SetGeometry(feature, polygon);
        OGR_F_SetFID(feature, OGRNullFID);
        if (OGR_L_CreateFeature(layer, feature) != OGRERR_NONE) {
            std::fprintf(stderr, "GDAL cannot write cell %lld\n", static_cast<long long>(i));
            std::exit(1);
        }
    }
    if (transaction && GDALDatasetCommitTransaction(ds) != OGRERR_NONE) {
        std::fprintf(stderr, "GDAL cannot commit %s\n", Path.c_str());
        std::exit(1);
    }
    OGR_G_DestroyGeometry(polygon);
    OGR_F_Destroy(feature);
    OSRDestroySpatialReference(srs);
    GDALClose(ds);
}

GridOptions ParseGridOptions(int argc, char** argv) {
    GridOptions o;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string opt = argv[i];
        const int number = std::max(1, std::atoi(argv[i + 1]));
        if (opt == "--columns")
            o.Columns = number;
        else if (opt == "--rows")
            o.Rows = number;
        else if (opt == "--runs")
            o.Runs = number;
        else if (opt == "--dir")
            o.Dir = argv[i + 1];
    }
    return o;
}

} // namespace benchutil
