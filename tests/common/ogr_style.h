#pragma once
// The parameters of an OGR style string, as GDAL gives a feature's style: part
// "PEN" of PEN(w:1px,c:#ff0000,id:"mapinfo-pen-2,ogr-pen-0") gives w=1px, c=#ff0000
// and id=mapinfo-pen-2,ogr-pen-0 (quotes removed).

#include <map>
#include <string>

namespace testutil {

// The parameters of one part (tool) of Style; empty when the style has no such part.
inline std::map<std::string, std::string> StyleParams(const std::string& Style,
                                                      const std::string& Tool) {
    std::map<std::string, std::string> params;
    const size_t start = Style.find(Tool + "(");
    if (start == std::string::npos)
        return params;
    size_t pos = start + Tool.size() + 1;
    while (pos < Style.size() && Style[pos] != ')') {
        const size_t colon = Style.find(':', pos);
        if (colon == std::string::npos)
            break;
        const std::string key = Style.substr(pos, colon - pos);
        std::string value;
        pos = colon + 1;
        if (pos < Style.size() && Style[pos] == '"') {
            const size_t close = Style.find('"', pos + 1);
            value = Style.substr(pos + 1, close - pos - 1);
            pos = close + 1;
        } else {
            const size_t end = Style.find_first_of(",)", pos);
            value = Style.substr(pos, end - pos);
            pos = end;
        }
        params[key] = value;
        if (pos < Style.size() && Style[pos] == ',')
            ++pos;
    }
    return params;
}

// One parameter of one part of Style; "" when absent.
inline std::string StyleParam(const std::string& Style, const std::string& Tool,
                              const std::string& Param) {
    const auto params = StyleParams(Style, Tool);
    const auto found = params.find(Param);
    return found == params.end() ? std::string() : found->second;
}

} // namespace testutil
