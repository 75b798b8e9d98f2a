#include "app/form_loader.h"

#include <algorithm>
#include <vector>

#include "app/u_read_form.h"
#include "controls/ox_grid.h"
#include "controls/ox_navigator.h"
#include "dataset/ox_c_data_set.h"
#include "dataset/property_text.h"
#include "platform/data/data_link.h"
#include "platform/os/exception.h"
#include "platform/widgets/qt_text.h"

namespace orvex::app {

namespace {

bool ParseInt(const std::string& text, int& value) {
  try {
    std::size_t used = 0;
    value = std::stoi(text, &used);
    return used == text.size();
  } catch (const std::exception&) {
    return false;
  }
}

}  // namespace

FormLoader::FormLoader(ui::TForm& form) : form_(form) { controls_["Form1"] = &form; }

void FormLoader::AddDataSet(const std::string& name, TOxCDataSet& data_set) {
  data_sets_[name] = &data_set;
}

void FormLoader::AddDataSource(const std::string& name, data::TDataSource& source) {
  sources_[name] = &source;
}

void FormLoader::AddHandler(const std::string& name, std::function<void()> handler) {
  handlers_[name] = std::move(handler);
}

QWidget* FormLoader::Parent(const std::string& name) const {
  for (const StoredComponent& c : Form1Components()) {
    if (c.name != name) continue;
    const auto at = controls_.find(c.parent);
    if (at == controls_.end()) break;
    return at->second;
  }
  throw Exception("Stored form: no parent for component " + name);
}

void FormLoader::Refuse(const std::string& component, const std::string& name,
                        const std::string& value) const {
  throw Exception("Stored form: " + component + "." + name + " = \"" + value + "\" cannot be set");
}

std::function<void()> FormLoader::Handler(const std::string& name) const {
  const auto at = handlers_.find(name);
  if (at == handlers_.end()) throw Exception("Stored form: no handler " + name);
  return at->second;
}

data::TDataSource* FormLoader::Source(const std::string& name) const {
  const auto at = sources_.find(name);
  if (at == sources_.end()) throw Exception("Stored form: no data source " + name);
  return at->second;
}

void FormLoader::Load() {
  for (auto& [name, data_set] : data_sets_) {
    data_set->SetName(name);
    data_set->BeginLoading();
  }
  std::map<TOxGrid*, data::TDataSource*> grid_sources;
  for (auto& [name, control] : controls_)
    if (auto* grid = dynamic_cast<TOxGrid*>(control)) grid->BeginLoading();

  for (const StoredProperty& p : Form1Properties()) {
    current_ = p.component;
    if (const auto ds = data_sets_.find(p.component); ds != data_sets_.end()) {
      if (!ds->second->SetProperty(p.name, p.value)) Refuse(p.component, p.name, p.value);
    } else if (const auto src = sources_.find(p.component); src != sources_.end()) {
      const auto target = data_sets_.find(p.value);
      if (p.name != "DataSet" || target == data_sets_.end()) Refuse(p.component, p.name, p.value);
      src->second->SetDataSet(target->second);
    } else if (const auto c = controls_.find(p.component); c != controls_.end()) {
      auto* grid = dynamic_cast<TOxGrid*>(c->second);
      if (grid != nullptr && p.name == "DataSource") {
        grid_sources[grid] = Source(p.value);
      } else {
        SetControlProperty(*c->second, p.name, p.value);
      }
    } else {
      throw Exception("Stored form: unknown component " + p.component);
    }
  }

  // Fonts: the form's first, so that controls without their own take it.
  const FontParts form_font = fonts_.count("Form1") ? fonts_["Form1"] : FontParts{};
  for (auto& [name, control] : controls_) {
    auto* grid = dynamic_cast<TOxGrid*>(control);
    const auto own = fonts_.find(name);
    const FontParts& parts = own != fonts_.end() ? own->second : form_font;
    const QFont font = ui::MakeFont(parts.name, parts.height);
    const QColor color = parts.has_color ? parts.color : ui::WindowTextColor();
    if (grid != nullptr) {
      grid->SetFont(TOxFont{font, color});
      const auto title = fonts_.find(name + ".Title");
      const FontParts& t = title != fonts_.end() ? title->second : parts;
      grid->SetTitleFont(
          TOxFont{ui::MakeFont(t.name, t.height), t.has_color ? t.color : ui::WindowTextColor()});
    } else {
      control->setFont(font);
      ui::SetFontColor(*control, color);
    }
  }

  // Tab order within each parent.
  std::vector<std::pair<int, QWidget*>> order;
  for (const auto& [control, index] : tab_orders_) order.emplace_back(index, control);
  std::stable_sort(order.begin(), order.end(), [](const auto& a, const auto& b) {
    return a.second->parentWidget() != b.second->parentWidget()
               ? a.second->parentWidget() < b.second->parentWidget()
               : a.first < b.first;
  });
  for (std::size_t i = 1; i < order.size(); ++i)
    if (order[i].second->parentWidget() == order[i - 1].second->parentWidget())
      QWidget::setTabOrder(order[i - 1].second, order[i].second);

  for (auto& [grid, source] : grid_sources) grid->EndLoading(source);
  for (auto& [name, control] : controls_)
    if (auto* grid = dynamic_cast<TOxGrid*>(control); grid != nullptr && grid->Loading())
      grid->EndLoading(nullptr);
  for (auto& [name, data_set] : data_sets_) data_set->EndLoading();
}

void FormLoader::SetControlProperty(QWidget& control, const std::string& name,
                                    const std::string& value) {
  int number = 0;
  const bool is_number = ParseInt(value, number);
  bool flag = false;
  const bool is_bool = ParseBoolText(value, flag);
  auto* label = dynamic_cast<ui::TLabel*>(&control);
  auto* button = dynamic_cast<ui::TButton*>(&control);
  auto* grid = dynamic_cast<TOxGrid*>(&control);
  auto* navigator = dynamic_cast<TOxNavigator*>(&control);

  if (name == "Left" && is_number) {
    control.move(number, control.y());
  } else if (name == "Top" && is_number) {
    control.move(control.x(), number);
  } else if (name == "Width" && is_number) {
    control.resize(number, control.height());
  } else if (name == "Height" && is_number) {
    control.resize(control.width(), number);
  } else if (name == "Caption") {
    if (label != nullptr) {
      label->SetCaption(value);
    } else if (button != nullptr) {
      button->setText(ui::FromAnsi(value));
    } else if (auto* group = dynamic_cast<ui::TGroupBox*>(&control)) {
      group->setTitle(ui::FromAnsi(value));
    } else if (&control == &form_) {
      form_.SetCaption(value);
    } else {
      Refuse(current_, name, value);
    }
  } else if (name.rfind("Font.", 0) == 0) {
    SetFontProperty(name.substr(5), value, false);
  } else if (name.rfind("TitleFont.", 0) == 0 && grid != nullptr) {
    SetFontProperty(name.substr(10), value, true);
  } else if (name == "Alignment" && label != nullptr) {
    if (value == "taRightJustify") {
      label->setAlignment(Qt::AlignRight | Qt::AlignTop);
    } else if (value == "taCenter") {
      label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    } else if (value == "taLeftJustify") {
      label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    } else {
      Refuse(current_, name, value);
    }
  } else if (name == "AutoSize" && label != nullptr && is_bool && !flag) {
    // TLabel keeps its stored size: nothing to do.
  } else if (name == "ParentFont" && is_bool) {
    // A control with stored font parts uses them; the others take the form's.
  } else if ((name == "PixelsPerInch" || name == "TextHeight") && &control == &form_ && is_number) {
    // The stored positions are at 96 dpi, which are Qt's device-independent
    // pixels; nothing to convert.
  } else if (name == "TabOrder" && is_number) {
    tab_orders_[&control] = number;
  } else if (name == "OnActivate" && &control == &form_) {
    form_.OnActivate = Handler(value);
  } else if (name == "OnClick" && button != nullptr) {
    button->OnClick = Handler(value);
  } else if (grid != nullptr && name == "BooleanBox") {
    if (value == "bbCheckBox") {
      grid->SetBooleanBox(TOxBooleanBox::bbCheckBox);
    } else {
      Refuse(current_, name, value);
    }
  } else if (grid != nullptr && name == "DepressDisabled" && is_bool) {
    grid->SetDepressDisabled(flag);
  } else if (grid != nullptr && name == "FixedColumns" && is_number) {
    grid->SetFixedColumns(number);
  } else if (grid != nullptr && name == "savedColumns") {
    grid->ReadSavedColumns(SplitLines(value));
  } else if (navigator != nullptr && name == "DataSource") {
    navigator->SetDataSource(Source(value));
  } else if (navigator != nullptr && name == "ConfirmRestore" && is_bool) {
    navigator->SetConfirmRestore(flag);
  } else {
    Refuse(current_, name, value);
  }
}

void FormLoader::SetFontProperty(const std::string& name, const std::string& value, bool title) {
  FontParts& parts = fonts_[title ? current_ + ".Title" : current_];
  int number = 0;
  if (name == "Name") {
    parts.name = value;
  } else if (name == "Height" && ParseInt(value, number)) {
    parts.height = number;
  } else if (name == "Color" && ColorFromString(value, parts.color) && parts.color.isValid()) {
    parts.has_color = true;
  } else if (name != "Charset" || value != "DEFAULT_CHARSET") {
    Refuse(current_, (title ? "TitleFont." : "Font.") + name, value);
  }
}

}  // namespace orvex::app
