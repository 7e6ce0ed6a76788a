#pragma once
// Shared pieces of the map toolkit tests: the application object, a recorder
// for the toolkit's message boxes, and a configurable layer table.

#include "GrTables.h"
#include "PlaniMisc.h"

#include <QPainter>
#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace mvtest {

// Takes the toolkit's message boxes while it lives; outside a recorder any
// message box fails the running test.
class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    std::vector<std::pair<std::string, plani::TMessageKind>> Messages;

private:
    plani::TMessageHandler fPrevious;
};

// A layer table with settable attributes, extents and object count, whose
// drawing fills its extents with a colour and can run a hook.
class TTestTable : public plani::TGraphicTable {
public:
    explicit TTestTable(const std::string& name = "TestTable") { SetName(name); }
    ~TTestTable() override {
        BeginDestroy();
        Close();
        DetachFromViewports();
    }
    plani::TGraphicTableAttributes Attributes() override { return attrs; }
    plani::TFloatRect Extents() override { return fActive ? ext : plani::TFloatRect{}; }
    int32_t ObjectCount() override { return fActive ? count : 0; }
    bool DrawGraphic(const plani::TFloatRect& vp, QPainter& c, const plani::TRect& cr,
                     plani::TMemoryStream* rso, QWidget* pc, int pd, bool& Cancel) override;

    plani::TGraphicTableAttributes attrs =
        plani::AttrSet(plani::gtaDraw) | plani::AttrSet(plani::gtaInfo) |
        plani::AttrSet(plani::gtaSelect) | plani::AttrSet(plani::gtaEdit);
    plani::TFloatRect ext;
    int32_t count = 1;
    QColor fill = Qt::transparent; // drawn over the extents unless transparent
    std::function<void(bool& Cancel)> onDraw;
    int draws = 0;
    plani::TFloatRect lastVp;
    plani::TRect lastCr;
};

} // namespace mvtest
