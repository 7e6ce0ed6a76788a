"""GMT run in a work folder, and its multisegment text read as polylines: shared by
the scripts that make the background maps and Denmark land from GSHHG."""

import subprocess


def gmt(args, work, stdin=None):
    # GMT keeps a gmt.history in the folder it runs in: the work folder, not the tree.
    return subprocess.run(["gmt"] + args, check=True, capture_output=True, text=True,
                          cwd=work, input=stdin).stdout


def polylines(text):
    """GMT's multisegment text as lists of (longitude, latitude)."""
    lines, current = [], []
    for row in text.splitlines():
        if row.startswith(">"):
            if len(current) > 1:
                lines.append(current)
            current = []
        elif row.strip():
            lon, lat = row.split()[:2]
            current.append((float(lon), float(lat)))
    if len(current) > 1:
        lines.append(current)
    return lines
