#include "command/createinstances.h"

#include "object/orvaneinstanceids.h"

Bool CreateInstances::Execute(BaseDocument* doc) {
  if (!doc) return true;
  AtomArray* objects = AtomArray::Alloc();
  if (!objects) return false;
  doc->GetSelection(*objects);
  objects->FilterObject(NOTOK, Obase);
  doc->StartUndo();
  for (LONG i = 0; i < objects->GetCount(); ++i) {
    BaseObject* op = static_cast<BaseObject*>(objects->GetIndex(i));
    BaseObject* instance = BaseObject::Alloc(ID_ORVANEINSTANCE);
    if (!instance) continue;
    instance->GetDataInstance()->SetLink(INSTANCE_LINK, op);
    doc->InsertObject(instance, nullptr, op);
    instance->SetMg(op->GetMg());
    instance->SetName(op->GetName());
    doc->AddUndo(UNDOTYPE_NEW, instance);
  }
  if (objects->GetCount() == 0) {
    if (BaseObject* instance = BaseObject::Alloc(ID_ORVANEINSTANCE)) {
      doc->InsertObject(instance, nullptr, nullptr);
      doc->SetActiveObject(instance, SELECTION_NEW);
      doc->AddUndo(UNDOTYPE_NEW, instance);
    }
  }
  doc->EndUndo();
  doc->Message(MSG_UPDATE);
  doc->SetChanged();
  EventAdd();
  AtomArray::Free(objects);
  return true;
}

Bool RegisterCreateInstances() {
  String name = GeLoadString(10011);
  if (!name.Content()) return true;
  return RegisterCommandPlugin(1023984, name, 0, AutoBitmap("instance.tif"), "Creates Instances",
                               new CreateInstances);
}
