#!/usr/bin/python3
"""Draws Quadrel's background maps from GSHHG shorelines and borders.

Called by scripts/make-backgrounds, which installs what this needs. For each map:

1. GMT's grdlandmask rasterises the GSHHG shorelines onto a fine longitude/latitude
   grid: land and islands in lakes 1, sea and lakes 0.
2. GDAL warps that grid with PROJ into the map's projection, onto a pixel grid four
   times finer than the map's (the "fine" grid), keeping the land fraction per pixel.
3. GMT dumps the GSHHG national borders as lines; OGR projects them and GDAL burns
   them into the fine grid.
4. Every fine pixel gets one class (sea, land, coastline, border); each map pixel
   blends the classes of its 4 x 4 fine pixels in eighths, which keeps the edges smooth
   while the whole map needs fewer than 256 colours. Interior land and open sea keep
   their exact colours.
5. The map is written as an 8-bit palette BMP and placed by a world file (.bpw) whose
   C and F lines give the centre of the top-left pixel.

The output depends only on the GMT/GSHHG, GDAL and PROJ versions, so a rerun on the
same Debian release gives the same bytes.
"""

import argparse
import dataclasses
import itertools
import os
import struct
import sys

import numpy as np
from osgeo import gdal, ogr, osr

from gmt_lines import gmt, polylines

gdal.UseExceptions()
ogr.UseExceptions()
osr.UseExceptions()

# Fine pixels per map pixel along each axis.
SUPERSAMPLE = 4

# Map classes and their colours (R, G, B). tests/data checks land and sea by these.
SEA, LAND, COAST, BORDER = range(4)
COLOURS = {
    SEA: (170, 207, 228),
    LAND: (236, 231, 206),
    COAST: (92, 139, 173),
    BORDER: (150, 96, 128),
}

# Radii, in fine pixels, of the coastline drawn on the sea side of the shore and of
# the border lines: about 0.75 and 1.5 map pixels wide, so that neither disappears
# when the map pane shows the map a little smaller than its size.
COAST_RADIUS = 2.5
BORDER_RADIUS = 2.0


@dataclasses.dataclass(frozen=True)
class MapSpec:
    name: str  # file name without extension
    epsg: int  # projection of the grid system
    bounds: tuple  # xmin, ymin, xmax, ymax in metres: the outer edges of the map
    pixel: float  # map pixel size in metres
    shore: str  # GSHHG resolution: f(ull), h(igh), i(ntermediate), l(ow), c(rude)
    step: str  # spacing of the longitude/latitude land grid, in GMT notation


MAPS = (
    # Europe from the Azores to the Urals and from the Canary Islands to the North
    # Cape, 1100 x 900 pixels of 6 km.
    MapSpec("eurogrid", 3035, (900000, 500000, 7500000, 5900000), 6000, "i", "1m"),
    # The area DKN is declared for in MapInfo, 100000..1000000 by 6000000..6500000,
    # which holds the "All" preset (140000..990000 by 6020000..6460000): 1125 x 625
    # pixels of 800 m.
    MapSpec("dkn", 25832, (100000, 6000000, 1000000, 6500000), 800, "f", "6s"),
)


def srs(epsg):
    s = osr.SpatialReference()
    s.ImportFromEPSG(epsg)
    s.SetAxisMappingStrategy(osr.OAMS_TRADITIONAL_GIS_ORDER)
    return s


def size_of(spec, pixel):
    xmin, ymin, xmax, ymax = spec.bounds
    w, h = (xmax - xmin) / pixel, (ymax - ymin) / pixel
    if w != int(w) or h != int(h):
        sys.exit(f"{spec.name}: the bounds are not a whole number of pixels")
    return int(w), int(h)


def geographic_region(spec):
    """Longitude/latitude box around the map, found along its densified edges, whole
    degrees, one degree of margin."""
    to_geo = osr.CoordinateTransformation(srs(spec.epsg), srs(4326))
    xmin, ymin, xmax, ymax = spec.bounds
    lons, lats = [], []
    for i in range(401):
        f = i / 400
        for x, y in ((xmin + f * (xmax - xmin), ymin), (xmin + f * (xmax - xmin), ymax),
                     (xmin, ymin + f * (ymax - ymin)), (xmax, ymin + f * (ymax - ymin))):
            lon, lat, _ = to_geo.TransformPoint(x, y)
            lons.append(lon)
            lats.append(lat)
    return (int(np.floor(min(lons))) - 1, int(np.ceil(max(lons))) + 1,
            max(int(np.floor(min(lats))) - 1, -90), min(int(np.ceil(max(lats))) + 1, 90))


def land_on_fine_grid(spec, region, work):
    """Boolean land mask on the fine grid (land where at least half of the pixel is)."""
    west, east, south, north = region
    grid = os.path.join(work, f"{spec.name}_land.nc")
    gmt(["grdlandmask", f"-R{west}/{east}/{south}/{north}", f"-I{spec.step}",
         f"-D{spec.shore}", "-N0/1/0/1/0", "-r", f"-G{grid}=nb"], work)
    fine = spec.pixel / SUPERSAMPLE
    warped = gdal.Warp("", grid, format="MEM", srcSRS="EPSG:4326",
                       dstSRS=srs(spec.epsg).ExportToWkt(), outputBounds=spec.bounds,
                       xRes=fine, yRes=fine, resampleAlg="average",
                       outputType=gdal.GDT_Float32)
    w, h = size_of(spec, fine)
    if (warped.RasterXSize, warped.RasterYSize) != (w, h):
        sys.exit(f"{spec.name}: warped land grid has an unexpected size")
    return warped.GetRasterBand(1).ReadAsArray() >= 0.5


def border_lines(region, shore, work):
    """The GSHHG national borders (level 1) as longitude/latitude polylines."""
    west, east, south, north = region
    return polylines(gmt(["coast", f"-R{west}/{east}/{south}/{north}", f"-D{shore}", "-N1", "-M"],
                         work))


def borders_on_fine_grid(spec, lines):
    fine = spec.pixel / SUPERSAMPLE
    w, h = size_of(spec, fine)
    xmin, _, _, ymax = spec.bounds
    target = srs(spec.epsg)
    raster = gdal.GetDriverByName("MEM").Create("", w, h, 1, gdal.GDT_Byte)
    raster.SetGeoTransform((xmin, fine, 0.0, ymax, 0.0, -fine))
    raster.SetProjection(target.ExportToWkt())
    to_map = osr.CoordinateTransformation(srs(4326), target)
    source = ogr.GetDriverByName("Memory").CreateDataSource("borders")
    layer = source.CreateLayer("borders", target, ogr.wkbLineString)
    for line in lines:
        geometry = ogr.Geometry(ogr.wkbLineString)
        for lon, lat in line:
            geometry.AddPoint_2D(lon, lat)
        geometry.Segmentize(0.01)  # degrees: keeps long straight borders curved right
        geometry.Transform(to_map)
        feature = ogr.Feature(layer.GetLayerDefn())
        feature.SetGeometry(geometry)
        layer.CreateFeature(feature)
    gdal.RasterizeLayer(raster, [1], layer, burn_values=[1], options=["ALL_TOUCHED=TRUE"])
    return raster.GetRasterBand(1).ReadAsArray() > 0


def dilate(mask, radius):
    """Grows a boolean mask by a disc of the given radius in pixels."""
    r = int(np.floor(radius))
    padded = np.pad(mask, r)
    h, w = mask.shape
    out = np.zeros_like(mask)
    for dy, dx in itertools.product(range(-r, r + 1), repeat=2):
        if dy * dy + dx * dx <= radius * radius:
            out |= padded[r + dy:r + dy + h, r + dx:r + dx + w]
    return out


def classify(land, borders):
    classes = np.full(land.shape, SEA, dtype=np.uint8)
    classes[land] = LAND
    classes[~land & dilate(land, COAST_RADIUS)] = COAST
    classes[land & dilate(borders, BORDER_RADIUS)] = BORDER
    return classes


def compositions():
    """Every way to share eight eighths among the four classes, in a fixed order."""
    return [c for c in itertools.product(range(9), repeat=4) if sum(c) == 8]


def blend_to_palette(classes):
    """Map pixel colours as indexes into a palette of class blends in eighths."""
    s = SUPERSAMPLE
    h, w = classes.shape[0] // s, classes.shape[1] // s
    blocks = classes.reshape(h, s, w, s)
    counts = np.stack([(blocks == k).sum(axis=(1, 3)) for k in range(4)], axis=-1)
    # Round the shares to eighths, largest remainder first, so they still add up to 8.
    eighths = counts * 8.0 / (s * s)
    whole = np.floor(eighths).astype(np.int64)
    remainder = eighths - whole
    missing = 8 - whole.sum(axis=-1)
    rank = np.argsort(np.argsort(-remainder, axis=-1, kind="stable"), axis=-1, kind="stable")
    whole += rank < missing[..., None]

    table = compositions()
    used = sorted({tuple(c) for c in whole.reshape(-1, 4).tolist()}, key=table.index)
    lookup = np.zeros((9, 9, 9, 9), dtype=np.uint8)
    palette = []
    for index, c in enumerate(used):
        lookup[c] = index
        rgb = [sum(c[k] * COLOURS[k][ch] for k in range(4)) / 8.0 for ch in range(3)]
        palette.append(tuple(int(np.floor(v + 0.5)) for v in rgb))
    if len(palette) > 256:
        sys.exit("more than 256 colours")
    pixels = lookup[whole[..., 0], whole[..., 1], whole[..., 2], whole[..., 3]]
    return pixels, palette


def write_bmp(path, pixels, palette):
    """8-bit palette Windows bitmap: BITMAPINFOHEADER, rows bottom-up, each padded to
    four bytes."""
    h, w = pixels.shape
    stride = (w + 3) & ~3
    offset = 14 + 40 + 4 * len(palette)
    image_size = stride * h
    header = struct.pack("<2sIHHI", b"BM", offset + image_size, 0, 0, offset)
    info = struct.pack("<IiiHHIIiiII", 40, w, h, 1, 8, 0, image_size, 2835, 2835,
                       len(palette), 0)
    table = b"".join(struct.pack("<BBBB", b, g, r, 0) for r, g, b in palette)
    rows = np.zeros((h, stride), dtype=np.uint8)
    rows[:, :w] = pixels[::-1]
    with open(path, "wb") as f:
        f.write(header + info + table + rows.tobytes())


def number(v):
    return str(int(v)) if float(v).is_integer() else repr(float(v))


def write_world_file(path, spec):
    """Six lines: pixel width, two zero rotation terms, negative pixel height, and the
    map coordinates of the centre of the top-left pixel."""
    xmin, _, _, ymax = spec.bounds
    a = spec.pixel
    lines = [a, 0, 0, -a, xmin + a / 2, ymax - a / 2]
    with open(path, "w", encoding="ascii", newline="\n") as f:
        f.write("".join(number(v) + "\n" for v in lines))


def make(spec, work, out):
    region = geographic_region(spec)
    print(f"{spec.name}: EPSG:{spec.epsg}, {size_of(spec, spec.pixel)} pixels, "
          f"GSHHG '{spec.shore}' over lon/lat {region}", file=sys.stderr)
    land = land_on_fine_grid(spec, region, work)
    borders = borders_on_fine_grid(spec, border_lines(region, spec.shore, work))
    pixels, palette = blend_to_palette(classify(land, borders))
    write_bmp(os.path.join(out, spec.name + ".bmp"), pixels, palette)
    write_world_file(os.path.join(out, spec.name + ".bpw"), spec)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True, help="folder for intermediate files")
    parser.add_argument("--out", required=True, help="folder that receives the maps")
    parser.add_argument("--only", choices=[m.name for m in MAPS], help="make one map")
    args = parser.parse_args()
    for spec in MAPS:
        if args.only in (None, spec.name):
            make(spec, os.path.abspath(args.work), args.out)


if __name__ == "__main__":
    main()
