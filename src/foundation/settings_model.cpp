#include "foundation/settings_model.h"

#include <algorithm>
#include <numeric>

#include "foundation/parameters_file.h"
#include "ui/window_bridge.h"

std::string gf_parameterValue(const StringParameter& p)
{
    return p.value();
}

void gf_setParameterValue(StringParameter& p, std::string text)
{
    p.setValue(std::move(text));
    gf_saveParameter(p);
}

void gf_fillChoiceCombo(const ListParameter& p)
{
    std::vector<std::string> texts;
    texts.reserve(p.values.size());
    for (const int32_t v : p.values)
        texts.push_back(std::to_string(v));
    gf_controlFillCombo(p, texts);
    const auto it = std::find(p.values.begin(), p.values.end(), p.value.load());
    if (it != p.values.end())
        gf_controlSelectComboIndex(p, static_cast<int32_t>(it - p.values.begin()));
}

void gf_fillComboFromList(const TextChoiceParameter& p)
{
    std::vector<std::string> texts;
    {
        std::lock_guard lock(p.choices->mutex);
        texts = p.choices->texts;
    }
    gf_controlFillCombo(p, texts);
    gf_controlSelectComboText(p, p.value());
}

void gf_refreshEditControl(const EditParameter& p)
{
    gf_controlSetText(p, p.value());
}

void gf_fillIota(std::vector<int32_t>& values)
{
    std::iota(values.begin(), values.end(), 1);
}
