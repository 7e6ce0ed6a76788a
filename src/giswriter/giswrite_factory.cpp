// The writer factory: format value -> writer class, with the MIF/MID fallback for
// missing libraries, formats without a writer and unknown values.

#include "mfal.h"
#include "mitab.h"
#include "pwnet_giswriter.h"

namespace pwnet {

bool TGISWrite::MITAB_supported() {
    return MitabAvailable();
}
bool TGISWrite::MFAL_supported() {
    return MfalAvailable();
}

std::unique_ptr<TGISWrite> TGISWrite::GetGISObject(TGISFormat Inp) {
    // A format whose library is not bound (gfMITAB, gfMFAL), a format without a
    // writer yet and an unknown value all end at the MIF/MID writer below.
    switch (Inp) {
    case gfMIF:
        return std::make_unique<TGISWriteMIF>();
    case gfDBF:
        return std::make_unique<TGISWriteDBF>();
    case gfSHP:
        return std::make_unique<TGISWriteSHP>();
    case gfMITAB:
        if (MITAB_supported())
            return std::make_unique<TGISWriteMITAB>();
        break;
    case gfCSV:
        return std::make_unique<TGISWriteCSV>();
    case gfArray:
        return std::make_unique<TGISWriteArray>();
    case gfGML2:
        return std::make_unique<TGISWriteGML2>();
    case gfKML2:
        return std::make_unique<TGISWriteKML2>();
    case gfGeoJSON:
        return std::make_unique<TGISWriteGeoJSON>();
    case gfMFAL:
        if (MFAL_supported())
            return std::make_unique<TGISWriteMFAL>();
        break;
    case gfMIF8:
        return std::make_unique<TGISWriteMIF8>();
    case gfGPKG:
        return std::make_unique<TGISWriteGPKG>();
    default:
        break;
    }
    return std::make_unique<TGISWriteMIF>();
}

} // namespace pwnet
