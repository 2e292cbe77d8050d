// Form descriptions: the text that declares a window's components, their
// properties and the handlers their events are bound to, and the loader
// that builds a form from it.
//
// The text is UTF-8. A description holds one block for the form; each block
// is a class name, an optional component name and braces around its
// properties and its nested components:
//
//   # The progress dialog.
//   TFormProgress FormProgress {
//     Caption = "進捗状況"
//     BorderIcons = []
//     ClientWidth = 409
//     Font.Name = "ＭＳ Ｐゴシック"
//     Font.Charset = SHIFTJIS_CHARSET
//     OnShow = FormShow
//
//     TButton BtnClose {
//       Caption = "閉じる"
//       Left = 255
//       OnClick = BtnCloseClick
//     }
//   }
//
// Values:
//   12  -12  0x1F  $1F        whole numbers
//   1.5                       floating point
//   "text"                    text; escapes \" \\ \n \r \t and \uXXXX
//   True  False               truth values
//   clBtnFace  bsDialog       names: enumeration values, colours, handlers,
//                             other components
//   [biSystemMenu, biMinimize]  sets
//   ("30", "25", "20")        lists of texts (commas optional)
//   hex { 89504E47 0D0A1A0A } bytes (PNG images, bitmaps, stored data);
//                             blanks and line breaks between digits are free
//
// "#" or "//" starts a comment that runs to the end of the line. A nested
// component without a name needs no field in the form.
#pragma once

#include "classlib/runtime/component.h"
#include "classlib/runtime/properties.h"

#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

struct TFormDescProperty {
    std::wstring Path;  // "Caption", "Font.Name"
    TPropertyValue Value;
    int Line = 0;
};

struct TFormDescNode {
    std::wstring ClassName;
    std::wstring Name;
    int Line = 0;
    std::vector<TFormDescProperty> Properties;
    std::vector<TFormDescNode> Children;
};

// Parses a description. Source names it in error messages. Raises
// EFormDescriptionError naming the line and what is wrong.
TFormDescNode ParseFormDescription(std::string_view Text, std::wstring_view Source);

// Builds Root's components from a description: Root's class must be the
// description's outer class. Components are created with Root as owner (and,
// for controls, the enclosing control as parent), their properties set, their
// events bound to Root's published handlers, Root's published fields set to
// them, and Loaded() called on each once all is set. On any error nothing of
// the description stays: the components made so far are freed, and
// EFormDescriptionError names the description, the line, the component and
// the property.
void LoadFormDescription(TComponent& Root, std::string_view Text, std::wstring_view Source);
void LoadFormDescription(TComponent& Root, const TFormDescNode& Description, std::wstring_view Source);

// The description stored as an RCDATA resource of that name in Module (the
// program when null). EFormDescriptionError when there is none.
std::string FormDescriptionResource(const std::wstring& ResourceName, HMODULE Module = nullptr);
