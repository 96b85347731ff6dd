#pragma once
// The family of setting objects. Every setting is one global object named by its key in
// parameters.xml; settings shown in the main window also carry the GuiControl of their
// control, and the window's push buttons belong to the same family.
//
// The user-interface thread changes settings while the worker reads them: bool and
// number values are atomics, a text value is read and written only through its mutex
// (value() / setValue(), or gf_parameterValue / gf_setParameterValue).
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

struct Parameter {
    explicit Parameter(std::string key) : name(std::move(key)) {}
    virtual ~Parameter() = default;
    Parameter(const Parameter&) = delete;
    Parameter& operator=(const Parameter&) = delete;

    // The key in parameters.xml, or a button's caption.
    std::string name;
};

// minValue and maxValue carry no meaning for a bool; all four start at the default.
struct BoolParameter : Parameter {
    BoolParameter(std::string key, bool defaultValue_)
        : Parameter(std::move(key)), defaultValue(defaultValue_), minValue(defaultValue_),
          maxValue(defaultValue_), value(defaultValue_)
    {
    }

    bool defaultValue;
    bool minValue;
    bool maxValue;
    std::atomic<bool> value;
};

template <typename T>
struct NumberParameter : Parameter {
    NumberParameter(std::string key, T defaultValue_, T minValue_, T maxValue_)
        : Parameter(std::move(key)), defaultValue(defaultValue_), minValue(minValue_),
          maxValue(maxValue_), value(defaultValue_)
    {
    }

    T defaultValue;
    T minValue;
    T maxValue;
    std::atomic<T> value;
};

using IntParameter = NumberParameter<int32_t>;
using FloatParameter = NumberParameter<float>;

// minValue and maxValue carry no meaning for a text; all four start at the default.
struct StringParameter : Parameter {
    StringParameter(std::string key, std::string defaultValue_ = {})
        : Parameter(std::move(key)), defaultValue(defaultValue_), minValue(defaultValue_),
          maxValue(defaultValue_), value_(std::move(defaultValue_))
    {
    }

    std::string value() const
    {
        std::lock_guard lock(valueMutex_);
        return value_;
    }
    // In memory only; gf_setParameterValue also stores it in parameters.xml.
    void setValue(std::string text)
    {
        std::lock_guard lock(valueMutex_);
        value_ = std::move(text);
    }

    std::string defaultValue;
    std::string minValue;
    std::string maxValue;

private:
    mutable std::mutex valueMutex_; // guards value_
    std::string value_;
};

// The control of a setting or button in the main window. The window fills hwnd (an HWND)
// when it creates the control, and prevWndProc when it subclasses an edit.
struct GuiControl {
    GuiControl(uint16_t controlId_, int32_t rowY_) : controlId(controlId_), rowY(rowY_) {}
    virtual ~GuiControl() = default;
    GuiControl(const GuiControl&) = delete;
    GuiControl& operator=(const GuiControl&) = delete;

    uint16_t controlId;
    int32_t rowY;
    std::atomic<void*> hwnd{nullptr};
    intptr_t prevWndProc = 0;
};

struct CheckBoxParameter : BoolParameter, GuiControl {
    CheckBoxParameter(std::string key, bool defaultValue_, uint16_t controlId_, int32_t rowY_)
        : BoolParameter(std::move(key), defaultValue_), GuiControl(controlId_, rowY_)
    {
    }
};

// A drop-down list of allowed values; minValue is the first of them, maxValue the last.
template <typename T>
struct BasicListParameter : NumberParameter<T>, GuiControl {
    BasicListParameter(std::string key, T defaultValue_, std::vector<T> values_, uint16_t controlId_,
                       int32_t rowY_)
        : NumberParameter<T>(std::move(key), defaultValue_, values_.front(), values_.back()),
          GuiControl(controlId_, rowY_), values(std::move(values_))
    {
    }

    const std::vector<T> values;
};

using ListParameter = BasicListParameter<int32_t>;
using FloatListParameter = BasicListParameter<float>;

struct EditParameter : StringParameter, GuiControl {
    EditParameter(std::string key, std::string defaultValue_, uint16_t controlId_, int32_t rowY_)
        : StringParameter(std::move(key), std::move(defaultValue_)), GuiControl(controlId_, rowY_)
    {
    }
};

// The texts behind a drop-down list of texts, shared with the code that rebuilds them.
struct TextChoices {
    mutable std::mutex mutex; // guards texts
    std::vector<std::string> texts;
};

struct TextChoiceParameter : EditParameter {
    TextChoiceParameter(std::string key, std::string defaultValue_, uint16_t controlId_, int32_t rowY_,
                        std::shared_ptr<TextChoices> choices_)
        : EditParameter(std::move(key), std::move(defaultValue_), controlId_, rowY_),
          choices(std::move(choices_))
    {
    }

    std::shared_ptr<TextChoices> choices;
};

// A push button of the main window; its name is its caption.
struct Button : Parameter, GuiControl {
    Button(std::string caption, uint16_t controlId_, int32_t rowY_)
        : Parameter(std::move(caption)), GuiControl(controlId_, rowY_)
    {
    }
};

std::string gf_parameterValue(const StringParameter& p);
// Assigns the text and stores the setting in parameters.xml at once.
void gf_setParameterValue(StringParameter& p, std::string text);

// Fills the list's control with its allowed values as decimal texts and selects the
// first entry equal to the value (none when the value is not allowed).
void gf_fillChoiceCombo(const ListParameter& p);
// Fills the list's control with its choices and selects the entry that begins with the
// value's text.
void gf_fillComboFromList(const TextChoiceParameter& p);
// Shows the value in the edit control.
void gf_refreshEditControl(const EditParameter& p);
// 1, 2, 3, ... in every element.
void gf_fillIota(std::vector<int32_t>& values);
