#!/usr/bin/python3
"""Makes Quadrel's built-in area "Denmark land" from the GSHHG shorelines and borders.

Called by scripts/make-denmark-land, which installs what this needs.

1. GMT dumps the full-resolution GSHHG shorelines of level 1 (the land/sea boundary;
   lakes are not cut out) over a longitude/latitude box around Denmark, as pieces
   that end at GMT's bin edges and at the box.
2. GEOS (through OGR) nodes the pieces with the box and polygonises them; GMT's
   `select` tells each face's inside point as land or water, and the land faces are
   kept.
3. Denmark is cut out of that land with a mask: the GSHHG Danish-German border
   (which runs from Lister Dyb between Rømø and Sylt to the mouth of Flensburg Fjord)
   closed by a line through open water around the Danish islands, Bornholm and
   Christiansø included, that keeps Sweden, Norway, Germany and Poland out. The
   script checks that this water line touches no land and that known places fall on
   the right side.
4. The result, one multipolygon in WGS 84 longitude/latitude (EPSG:4326), is written
   as a GeoPackage.

The output depends only on the GMT/GSHHG and GDAL/GEOS versions.
"""

import argparse
import os
import sys

from osgeo import gdal, ogr, osr

from gmt_lines import gmt, polylines

gdal.UseExceptions()
ogr.UseExceptions()
osr.UseExceptions()

# West, east, south, north: a box around Denmark with room on every side.
REGION = (7.5, 15.5, 54.4, 58.0)

# The water line that closes the border into a mask, from the border's eastern end
# at the mouth of Flensburg Fjord round to its western end in Lister Dyb,
# counter-clockwise. Every point lies in open water, kilometres from any shore.
WATER_LINE = (
    (10.30, 54.68),   # Kiel Bay, south of Als and Ærø
    (10.90, 54.60),   # south of Langeland
    (11.30, 54.56),   # Fehmarn Belt, between Lolland and Fehmarn
    (11.90, 54.45),   # south of Gedser
    (12.60, 54.60),   # Kadet Channel, north of Darß
    (13.00, 54.80),   # between Møn and Rügen
    (13.60, 54.85),   # north of Kap Arkona
    (14.30, 54.80),
    (15.45, 54.80),   # south-east of Bornholm
    (15.45, 55.55),   # east of Christiansø
    (14.90, 55.50),   # between Bornholm and Skåne
    (14.45, 55.30),
    (13.90, 55.20),
    (13.00, 55.25),   # south of Trelleborg
    (12.70, 55.38),   # between Stevns and Falsterbo
    (12.86, 55.62),   # Øresund, between Saltholm and Malmö
    (12.60, 55.90),   # between Zealand and Ven
    (12.655, 56.04),  # between Helsingør and Helsingborg
    (12.35, 56.25),   # between Gilleleje and Kullen
    (11.95, 56.80),   # Kattegat, east of Anholt
    (11.90, 57.00),
    (11.45, 57.45),   # east of Læsø
    (11.00, 57.95),   # Skagerrak
    (7.80, 57.70),    # south of Norway
    (7.80, 55.50),    # North Sea, west of Blåvandshuk
    (8.30, 55.10),    # off Lister Dyb
)

# Places that must be in Denmark's land, and places that must not, as (name,
# longitude, latitude).
INSIDE = (
    ("Copenhagen city hall", 12.5700, 55.6759),
    ("Skagen", 10.5917, 57.7209),
    ("Rønne", 14.7069, 55.1009),
    ("Tønder", 8.8655, 54.9331),
    ("Anholt", 11.5500, 56.7000),
    ("Læsø", 11.0000, 57.2700),
)
OUTSIDE = (
    ("the middle of the Kattegat", 11.5000, 56.9500),
    ("Malmö", 13.0038, 55.6050),
    ("Flensburg", 9.4370, 54.7819),
    ("Ven", 12.6900, 55.9050),
    ("Fehmarn", 11.1000, 54.4500),
    ("Sylt", 8.3000, 54.9000),
)


def region_option():
    west, east, south, north = REGION
    return f"-R{west}/{east}/{south}/{north}"


def line_string(points, kind=ogr.wkbLineString):
    g = ogr.Geometry(kind)
    for lon, lat in points:
        g.AddPoint_2D(lon, lat)
    return g


def land(work):
    """The level-1 land of REGION as a multipolygon."""
    pieces = ogr.Geometry(ogr.wkbMultiLineString)
    for line in polylines(gmt(["coast", region_option(), "-Df", "-A0/1/1", "-W", "-M"], work)):
        pieces.AddGeometry(line_string(line))
    west, east, south, north = REGION
    box = line_string([(west, south), (east, south), (east, north), (west, north), (west, south)])
    faces = pieces.Union(box).Polygonize()  # the union nodes the pieces with the box
    inside = []
    for i in range(faces.GetGeometryCount()):
        p = faces.GetGeometryRef(i).PointOnSurface()
        inside.append(f"{p.GetX():.10f} {p.GetY():.10f} {i}")
    # -Ns/k: skip points in water, keep points on land (islands in lakes count as land).
    kept = gmt(["select", region_option(), "-Df", "-A0/1/1", "-Ns/k"], work, "\n".join(inside))
    result = ogr.Geometry(ogr.wkbMultiPolygon)
    for row in kept.splitlines():
        if row.strip():
            result.AddGeometry(faces.GetGeometryRef(int(row.split()[2])))
    return result


def border(work):
    """The GSHHG Danish-German border, west to east, as one list of points."""
    points = []
    for piece in polylines(gmt(["coast", "-R7.5/12/54.4/56", "-Df", "-N1", "-M"], work)):
        points += piece[1:] if points and points[-1] == piece[0] else piece
    if not (points[0][0] < 8.5 < 10 < points[-1][0]):
        sys.exit("denmark_land: the border does not run from Lister Dyb to Flensburg Fjord")
    return points


def denmark(land_geometry, border_points):
    water = [border_points[-1], *WATER_LINE, border_points[0]]
    crossing = line_string(water).Intersection(land_geometry)
    if not crossing.IsEmpty():
        sys.exit("denmark_land: the water line crosses land: " + crossing.ExportToWkt()[:200])
    mask = ogr.Geometry(ogr.wkbPolygon)
    mask.AddGeometry(line_string(border_points + list(WATER_LINE) + [border_points[0]],
                                 ogr.wkbLinearRing))
    # The border holds a self-touching step of a few metres; Buffer(0) mends it.
    result = land_geometry.Intersection(mask.Buffer(0))
    if result.GetGeometryType() == ogr.wkbPolygon:
        result = ogr.ForceToMultiPolygon(result)
    return result


def check_places(geometry):
    for names, want in ((INSIDE, True), (OUTSIDE, False)):
        for name, lon, lat in names:
            p = ogr.Geometry(ogr.wkbPoint)
            p.AddPoint_2D(lon, lat)
            if geometry.Contains(p) != want:
                sys.exit(f"denmark_land: {name} is {'not ' if want else ''}in Denmark's land")


def write(geometry, path):
    if os.path.exists(path):
        os.remove(path)
    wgs84 = osr.SpatialReference()
    wgs84.ImportFromEPSG(4326)
    source = ogr.GetDriverByName("GPKG").CreateDataSource(path)
    layer = source.CreateLayer("denmark_land", wgs84, ogr.wkbMultiPolygon,
                               options=["SPATIAL_INDEX=NO", "DESCRIPTION=Denmark land"])
    layer.CreateField(ogr.FieldDefn("name", ogr.OFTString))
    feature = ogr.Feature(layer.GetLayerDefn())
    feature.SetField("name", "Denmark land")
    feature.SetGeometry(geometry)
    layer.CreateFeature(feature)
    source = None


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--work", required=True, help="folder for intermediate files")
    parser.add_argument("--out", required=True, help="the GeoPackage to write")
    args = parser.parse_args()
    work = os.path.abspath(args.work)
    result = denmark(land(work), border(work))
    if not result.IsValid():
        sys.exit("denmark_land: the result is not a valid multipolygon")
    check_places(result)
    points = sum(result.GetGeometryRef(i).GetGeometryRef(j).GetPointCount()
                 for i in range(result.GetGeometryCount())
                 for j in range(result.GetGeometryRef(i).GetGeometryCount()))
    print(f"denmark_land: {result.GetGeometryCount()} polygons, {points} points, "
          f"lon/lat {tuple(round(v, 4) for v in result.GetEnvelope())}", file=sys.stderr)
    write(result, args.out)


if __name__ == "__main__":
    main()
