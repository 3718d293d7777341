// Typing starts from the value shown, all of it selected, so the first character typed replaces
// it; Escape (which puts back the text the edit began with), Enter on the value unchanged and
// Enter on an emptied field all leave the object as it was.
#include "editor/properties_strip.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "editor/editor_state.h"
#include "platform/log.h"
#include "scene/animation.h"
#include "ui/ui.h"

const PropertyRange kPropertyRanges[kPropertyCount] = {
    {"x", -100000, 100000, 0},        {"y", -100000, 100000, 0},
    {"level", -10000, 10000, 0},      {"rotation", -36000, 36000, 0},
    {"scale x", -1000, 1000, 0.001f}, {"scale y", -1000, 1000, 0.001f},
};

namespace {

constexpr int kStripLeft = 32;  // right of the level bar
constexpr int kLabelGap = 3, kFieldGap = 9, kBoxPadding = 3, kSmallestBox = 28;
constexpr int kStripBackground = 10, kStripText = 6, kBoxColour = 9, kRefusalColour = 11;

bool EditingField() { return ui->editing && ui->editText == editor.propertyText; }

float& FieldOf(Key& pose, int field) {
  switch (field) {
    case kPropertyX:
      return pose.position.x;
    case kPropertyY:
      return pose.position.y;
    case kPropertyLevel:
      return pose.position.z;
    case kPropertyRotation:
      return pose.rotation;
    case kPropertyScaleX:
      return pose.scale.x;
    default:
      return pose.scale.y;
  }
}

void FormatValue(float value, char* text, size_t size) {
  if (std::fabs(value) >= 1e6f || !std::isfinite(value)) {
    std::snprintf(text, size, "%.4g", value);
    return;
  }
  std::snprintf(text, size, "%.2f", value);
  // Trailing zeros go, and the point with them: 12.50 shows as 12.5, 3.00 as 3.
  char* end = text + std::strlen(text);
  while (end > text && end[-1] == '0') *--end = '\0';
  if (end > text && end[-1] == '.') *--end = '\0';
  if (std::strcmp(text, "-0") == 0) std::snprintf(text, size, "0");
}

void DescribeRange(int field, char* text, size_t size) {
  const PropertyRange& range = kPropertyRanges[field];
  if (range.smallest > 0) {
    std::snprintf(text, size, "%s takes %g to %g or %g to %g (below 0 mirrors)", range.label,
                  range.smallest, range.highest, range.lowest, -range.smallest);
  } else {
    std::snprintf(text, size, "%s takes a number from %g to %g", range.label, range.lowest,
                  range.highest);
  }
}

// Where each field's label and value box lie in the strip: one after the other from the left,
// each box as wide as the value it shows (or the text being typed).
struct FieldPlace {
  int labelX, boxX, boxWidth;
};

void PlaceFields(const SceneObject* object, FieldPlace* places) {
  int x = kStripLeft;
  for (int field = 0; field < kPropertyCount; ++field) {
    char value[32];
    FormatValue(PropertyValue(object, field), value, sizeof value);
    const bool typing = field == editor.propertyField && EditingField();
    FieldPlace& place = places[field];
    place.labelX = x;
    place.boxX = x + TextWidth(kPropertyRanges[field].label) + kLabelGap;
    place.boxWidth = std::max(TextWidth(typing ? editor.propertyText : value) + 2 * kBoxPadding,
                              kSmallestBox);
    x = place.boxX + place.boxWidth + kFieldGap;
  }
}

void SetMessage(const SceneObject* object, const char* text) {
  std::snprintf(editor.propertyMessage, sizeof editor.propertyMessage, "%s", text);
  editor.propertyMessageObject = object;
}

}  // namespace

float PropertyValue(const SceneObject* object, int field) {
  if (object == nullptr || field < 0 || field >= kPropertyCount) return 0;
  Key pose = object->state;
  if (object->keys) {
    const int key = FindKeyAtFrame(*object->keys, project.currentFrame);
    if (key >= 0) pose = object->keys->keys[key];
  }
  return FieldOf(pose, field);
}

bool ParsePropertyValue(int field, const char* text, float* value, char* why, size_t whySize) {
  if (field < 0 || field >= kPropertyCount || text == nullptr || value == nullptr) return false;
  char plain[32];
  size_t length = 0;
  bool digit = false;
  for (const char* c = text; *c != '\0'; ++c) {
    if (*c == ' ') continue;
    // Only signs, digits, one decimal point or comma and an exponent: no "inf", "nan" or hex.
    const bool allowed = std::strchr("+-.,eE0123456789", *c) != nullptr;
    if (!allowed || length + 1 >= sizeof plain) {
      length = 0;
      digit = false;
      break;
    }
    digit = digit || (*c >= '0' && *c <= '9');
    plain[length++] = *c == ',' ? '.' : *c;
  }
  plain[length] = '\0';
  char* end = nullptr;
  const double parsed = digit ? std::strtod(plain, &end) : 0;
  const PropertyRange& range = kPropertyRanges[field];
  const bool number = digit && end != nullptr && *end == '\0' && std::isfinite(parsed);
  const bool inRange = number && parsed >= range.lowest && parsed <= range.highest &&
                       std::fabs(parsed) >= range.smallest;
  if (!inRange) {
    char accepted[128];
    DescribeRange(field, accepted, sizeof accepted);
    if (why != nullptr && whySize > 0) {
      std::snprintf(why, whySize, "'%.16s' refused: %s", text, accepted);
    }
    return false;
  }
  *value = static_cast<float>(parsed);
  return true;
}

bool ApplyPropertyValue(SceneObject* object, int field, float value, int frame) {
  if (object == nullptr || field < 0 || field >= kPropertyCount) return false;
  if (object->keys && object->keys->count > 0) {
    const int key = InsertKey(object, frame);
    if (key < 0) return false;
    FieldOf(object->keys->keys[key], field) = value;
  } else {
    FieldOf(object->state, field) = value;
  }
  // Children hang on the new pose at once, as after a handle drag.
  EvaluateTree(object, frame, 0);
  return true;
}

void FinishPropertyEdit() {
  if (editor.propertyField < 0 || EditingField()) return;
  const int field = editor.propertyField;
  SceneObject* object = editor.propertyObject;
  editor.propertyField = -1;
  editor.propertyObject = nullptr;
  SetMessage(nullptr, "");
  // Escape put back the text the edit began with; an unchanged or emptied field changes nothing.
  if (editor.propertyText[0] == '\0' ||
      std::strcmp(editor.propertyText, editor.propertyStartText) == 0 || object == nullptr ||
      object != project.selected) {
    return;
  }
  float value = 0;
  char why[sizeof editor.propertyMessage];
  if (!ParsePropertyValue(field, editor.propertyText, &value, why, sizeof why)) {
    SetMessage(object, why);
    return;
  }
  if (!ApplyPropertyValue(object, field, value, project.currentFrame)) {
    std::snprintf(why, sizeof why, "no room for another key: a track holds %i", kMaxKeys);
    SetMessage(object, why);
    return;
  }
  LogMessage("%s of %s set to %g at frame %i", kPropertyRanges[field].label, object->name,
             static_cast<double>(value), project.currentFrame);
}

void PropertyFieldSpan(const SceneObject* object, int field, int* left, int* right) {
  FieldPlace places[kPropertyCount];
  PlaceFields(object, places);
  const FieldPlace& place = places[std::clamp(field, 0, kPropertyCount - 1)];
  if (left != nullptr) *left = place.labelX;
  if (right != nullptr) *right = place.boxX + place.boxWidth;
}

bool RunPropertyStripInput(SceneObject* selected, int width, int height) {
  if (selected == nullptr) return false;
  const int top = height - kPropertyStripHeight;
  if (!MouseInLocal(0, top, width, kPropertyStripHeight)) return false;
  if (!ui->leftPressed) return true;
  for (int field = 0; field < kPropertyCount; ++field) {
    int left = 0, right = 0;
    PropertyFieldSpan(selected, field, &left, &right);
    if (!MouseInLocal(left, top, right - left, kPropertyStripHeight)) continue;
    FormatValue(PropertyValue(selected, field), editor.propertyText, sizeof editor.propertyText);
    std::snprintf(editor.propertyStartText, sizeof editor.propertyStartText, "%s",
                  editor.propertyText);
    StartTextEdit(editor.propertyText, sizeof editor.propertyText, true);
    if (!EditingField()) break;
    editor.propertyField = field;
    editor.propertyObject = selected;
    char accepted[128];
    DescribeRange(field, accepted, sizeof accepted);
    char hint[sizeof editor.propertyMessage];
    std::snprintf(hint, sizeof hint, "%s; Enter applies, Escape cancels", accepted);
    SetMessage(selected, hint);
    break;
  }
  return true;
}

void DrawPropertyStrip(const SceneObject* selected, int width, int height) {
  if (selected == nullptr) return;
  const int top = height - kPropertyStripHeight;
  FillRect(0, top, width, kPropertyStripHeight, kStripBackground);
  FillRect(0, top, width, 1, 8);
  FieldPlace places[kPropertyCount];
  PlaceFields(selected, places);
  for (int field = 0; field < kPropertyCount; ++field) {
    const FieldPlace& place = places[field];
    const bool typing = field == editor.propertyField && EditingField();
    char value[32];
    FormatValue(PropertyValue(selected, field), value, sizeof value);
    DrawText(place.labelX, top + 2, kStripText, kPropertyRanges[field].label);
    FillRect(place.boxX, top + 2, place.boxWidth, kPropertyStripHeight - 3, kBoxColour);
    if (typing) DrawOutline(place.boxX, top + 2, place.boxWidth, kPropertyStripHeight - 3, 6);
    if (!typing && MouseInLocal(place.labelX, top, place.boxX + place.boxWidth - place.labelX,
                                kPropertyStripHeight)) {
      FillRectAlpha(place.boxX, top + 2, place.boxWidth, kPropertyStripHeight - 3, 0, 0.3f);
    }
    if (typing) DrawTextSelection(place.boxX + kBoxPadding, top + 2, editor.propertyText);
    DrawText(place.boxX + kBoxPadding, top + 2, kStripText, typing ? editor.propertyText : value);
  }
  // The message belongs to the object it was about.
  if (editor.propertyMessage[0] == '\0' || editor.propertyMessageObject != selected) return;
  const bool refusal = !EditingField();
  const int w = TextWidth(editor.propertyMessage) + 8;
  FillRect(kStripLeft - 4, top - kPropertyStripHeight, w, kPropertyStripHeight, kStripBackground);
  DrawText(kStripLeft, top - kPropertyStripHeight + 2, refusal ? kRefusalColour : kStripText,
           editor.propertyMessage);
}
