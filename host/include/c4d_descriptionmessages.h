// Messages that the host sends a node about elements of its description (buttons, bitmaps), and
// the bitmap button's value.
#pragma once

#include "c4d_baselist.h"

class BaseBitmap;

/// Node messages about description elements.
enum {
  MSG_DESCRIPTION_COMMAND = 18,    ///< A button was pressed; data: `DescriptionCommand`.
  MSG_DESCRIPTION_GETBITMAP = 27,  ///< A bitmap element asks for its image; data: `DescriptionGetBitmap`.
};

/// Data of `MSG_DESCRIPTION_COMMAND`.
struct DescriptionCommand {
  DescID id;  ///< The pressed button.
};

/// Data of `MSG_DESCRIPTION_GETBITMAP`.
struct DescriptionGetBitmap {
  DescID id;                  ///< The bitmap element that asks.
  BaseBitmap* bmp = nullptr;  ///< Set by the node to a new bitmap; whoever sent the message owns it.
};

/// Custom data type of a bitmap button's value.
constexpr LONG CUSTOMDATATYPE_BITMAPBUTTON = 1001053;

/// The value of a bitmap button: which node and parameter it shows, and a count that changes when
/// the image should be asked for again.
class BitmapButtonStruct : public CustomDataType {
 public:
  BitmapButtonStruct() = default;
  BitmapButtonStruct(BaseList2D* node, const DescID& id, LONG dirty) : op(node), desc(id), dirty(dirty) {}
  CustomDataType* Clone() const override { return new BitmapButtonStruct(*this); }
  bool IsEqual(const CustomDataType& o) const override {
    auto* b = dynamic_cast<const BitmapButtonStruct*>(&o);
    return b && b->op == op && b->desc == desc && b->dirty == dirty;
  }

  BaseList2D* op = nullptr;  ///< The node whose bitmap is shown.
  DescID desc;               ///< The parameter that shows it.
  LONG dirty = 0;            ///< Change count of the image.
};
