// The order chooser: a list of natural order and every tag of the current
// table's production index, each shown with its key, FOR condition and the
// words "descending" / "unique"; choosing an entry makes it the order.
// "Add tag..." asks for a new tag (add_tag_dialog.h).
#pragma once

#include <QComboBox>
#include <functional>
#include <string>
#include <vector>

#include "index/index_build.h"

namespace orvex::view {

// "TITLE: UPPER(TITLE) FOR YEAR>1960, descending, unique"
QString TagDescription(const TagDefinition& tag);

class OrderChooser : public QComboBox {
 public:
  explicit OrderChooser(QWidget* parent);

  // Lists natural order and `tags`, with `active` ("" natural) selected;
  // choosing does not fire while the list is filled.
  void SetTags(const std::vector<TagDefinition>& tags, const std::string& active);

  // The user chose an order ("" natural).
  std::function<void(const std::string& tag)> OnChosen;

 private:
  bool filling_ = false;
};

}  // namespace orvex::view
