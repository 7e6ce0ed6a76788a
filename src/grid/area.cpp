#include "area.h"

#include <algorithm>
#include <charconv>

namespace quadrel {

pwnet::TFloatRect TArea::Bounds() const {
    pwnet::TFloatRect b;
    bool first = true;
    for (const TAreaRing& ring : Rings)
        for (const pwnet::TFloatPoint& p : ring) {
            if (first) {
                b = {p.x, p.y, p.x, p.y};
                first = false;
                continue;
            }
            b.xmin = std::min(b.xmin, p.x);
            b.ymin = std::min(b.ymin, p.y);
            b.xmax = std::max(b.xmax, p.x);
            b.ymax = std::max(b.ymax, p.y);
        }
    return b;
}

std::string TArea::Description() const {
    std::string text = Name;
    if (!Layer.empty())
        text += ", layer " + Layer;
    if (Buffer != 0) {
        char metres[32];
        const auto end = std::to_chars(metres, metres + sizeof metres, Buffer).ptr;
        text += " with a " + std::string(metres, end) + " m buffer";
    }
    return text;
}

} // namespace quadrel
