// The JSON form of views and action results, as the browser workspace serves
// them and tests compare them. Every field of the structs appears under its
// own name in camelCase (View::framesShown is "framesShown"); colours are
// {"red", "green", "blue", "alpha"}; a PaneId is {"image", "view"}.
#ifndef ZAPP_VIEW_JSON_H
#define ZAPP_VIEW_JSON_H

#include <nlohmann/json_fwd.hpp>

#include "app/actions.h"
#include "app/view.h"

namespace zapp {

nlohmann::json ToJson(const View &view);
nlohmann::json ToJson(const ActionResult &result);

}  // namespace zapp

#endif
