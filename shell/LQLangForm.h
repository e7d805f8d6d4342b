// Applies the language texts to a form and everything it owns. A widget or action carries its
// number as the dynamic property "tag"; objects with tag 0 keep their designed texts.
#pragma once

class QObject;
class QWidget;

// The dynamic property that holds a control's tag.
inline constexpr char kTagProperty[] = "tag";

// `screenWidth` is the width of the screen the form is shown on; -1 asks the form's screen.
// Forms on screens narrower than 800 pixels are scaled by 700/800 and use "Arial" 7 points.
void TranslateForm(QObject* component, int screenWidth = -1);

// Number of the caption, hint and tips of a tag.
constexpr int CaptionId(int tag) { return tag * 10 + 10000; }
constexpr int HintId(int tag) { return tag * 10 + 10001; }
constexpr int TipId(int tag, int n) { return tag * 10 + 10005 + n; }  // n = 0 .. 4
