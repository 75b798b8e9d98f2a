// The stored form of the viewer's main window: every component of TForm1
// with its class and the values of its stored properties, in the order a
// stored form lists them (a component's properties follow its line).
//
// Values are texts as a stored form holds them (property_text.h): numbers in
// decimal, Booleans "True" / "False", enumeration values by identifier,
// string lists one line per item, each ended by "\n", events by the name of
// the form's handler. The table holds no Qt types, so that the command-line
// sample-data maker can read the table's definitions (DbfFields, IndexList)
// from the same place as the window.
#pragma once

#include <string>
#include <vector>

namespace orvex::app {

struct StoredComponent {
  std::string name;        // "Button1"
  std::string class_name;  // "TButton"
  std::string parent;      // "" for the form itself, else the owning control
};

struct StoredProperty {
  std::string component;  // "Button1"
  std::string name;       // "Caption"
  std::string value;      // "Title"
};

// The components of the form, the form first, parents before children.
const std::vector<StoredComponent>& Form1Components();
// Every stored property value of the form's components.
const std::vector<StoredProperty>& Form1Properties();
// The value of one stored property; "" when it is not stored.
std::string StoredValue(const std::string& component, const std::string& name);

}  // namespace orvex::app
