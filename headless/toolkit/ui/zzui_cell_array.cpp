// The toolkit's table operations (zzui_CA*) and row selections (zsel_*).
#include "toolkit/core/instrument.h"
#include "toolkit/ui/ui_model.h"
#include "zsel.h"
#include "zzui.h"

namespace {

bool IsTable(Zzml_Part *part, const char *op, Zerr_Report **err) {
    if (part && part->kind == zui::PartKind::CellArray) return true;
    zhc::Fail(err, op, __LINE__, nullptr, "Not a table: %s.", part ? part->name.c_str() : "(none)");
    return false;
}

}  // namespace

int32_t zzui_CAUpdateRow(Zzml_Part *cellArray, int32_t row, Zerr_Report **err) {
    static const char *const op = "zzui_CAUpdateRow";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err) || !IsTable(cellArray, op, err)) return 0;
    std::string why;
    if (zui::RedrawRow(cellArray, row, &why)) return 1;
    zhc::Fail(err, op, __LINE__, nullptr, "Table \"%s\": %s.", cellArray->name.c_str(), why.c_str());
    return 0;
}

int32_t zzui_CAUpdateAll(Zzml_Part *cellArray, Zerr_Report **err) {
    static const char *const op = "zzui_CAUpdateAll";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err) || !IsTable(cellArray, op, err)) return 0;
    std::string why;
    if (zui::RedrawAll(cellArray, &why)) return 1;
    zhc::Fail(err, op, __LINE__, nullptr, "Table \"%s\": %s.", cellArray->name.c_str(), why.c_str());
    return 0;
}

int32_t zzui_CASetExclusiveRow(Zzml_Part *cellArray, int32_t, int32_t row, Zerr_Report **err) {
    static const char *const op = "zzui_CASetExclusiveRow";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err) || !IsTable(cellArray, op, err)) return 0;
    // A row past the current count is taken: callers move the current row before
    // they announce a row they have just added.
    if (row < 0) {
        zhc::Fail(err, op, __LINE__, nullptr, "Table \"%s\": row %d is not a row.", cellArray->name.c_str(), row);
        return 0;
    }
    cellArray->table->exclusiveRow = row;
    zui::ShowRow(*cellArray->table, row);
    return 1;
}

int32_t zzui_CAGetExclusiveRow(Zzml_Part *cellArray, int32_t, Zerr_Report **err) {
    static const char *const op = "zzui_CAGetExclusiveRow";
    zhc::ClearErr(err);
    if (zhc::FaultHit(op, err) || !IsTable(cellArray, op, err)) return -1;
    return cellArray->table->exclusiveRow;
}

int32_t zsel_SelectionCount(const Zsel_Selection *selection) {
    zhc::CountCall("zsel_SelectionCount");
    return selection ? static_cast<int32_t>(selection->rows.size()) : 0;
}

int32_t zsel_SelectionIsSet(const Zsel_Selection *selection, int32_t row) {
    zhc::CountCall("zsel_SelectionIsSet");
    return selection && selection->rows.count(row) ? 1 : 0;
}

void zsel_SelectionDeleteSelection(Zsel_Selection *selection) {
    zhc::CountCall("zsel_SelectionDeleteSelection");
    if (!selection) return;
    delete selection;
    zhc::LiveRemove("selection");
}
