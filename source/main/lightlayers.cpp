#include "main/lightlayers.h"

#include "main/helpers.h"
#include "object/rendersettingsids.h"

namespace {

// The description group the layer drop-down is placed in: the node's main group.
constexpr LONG kLayerGroup = 803;

}  // namespace

namespace Helpers {

bool AddLightLayerContainer(Description* description, BaseContainer* data, int paramId, BaseDocument* doc) {
  if (!description || !data || !doc) return false;
  const DescID id{DescLevel(paramId)};
  const BaseContainer* loaded = description->GetParameterI(id, nullptr);
  if (!loaded) return true;
  const String name = loaded->GetString(DESC_NAME);

  LONG value = data->GetLong(paramId, 0);
  BaseContainer* settings = GetOrvaneRenderSettingsData(doc);
  BaseContainer cycle;
  for (LONG n = 1; n <= kLightLayerCount; ++n) {
    String label = String("Layer ") + String::LongToString(n);
    if (settings) label += String(": ") + settings->GetString(RS_LIGHT_LAYER_NAME + n - 1, String());
    cycle.SetString(n - 1, label);
  }
  // The cycle offers layers 0 to 9; any other value would be a layer without a name.
  if (value < 0 || value >= kLightLayerCount) value = 0;

  BaseContainer param = GetCustomDataTypeDefault(DTYPE_LONG);
  param.SetString(DESC_NAME, name);
  param.SetContainer(DESC_CYCLE, cycle);
  data->SetLong(paramId, value);
  return description->SetParameter(DescID(DescLevel(paramId, DTYPE_LONG, 0)), param,
                                   DescID(DescLevel(kLayerGroup)));
}

}  // namespace Helpers
