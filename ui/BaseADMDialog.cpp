#include "BaseADMDialog.h"

#include "SarvelloSuites.h"

bool IADMNotifier::IsNotifierType(const char* type) const {
  return sADMNotifier != nullptr && sADMNotifier->IsNotifierType(fNotifier, type) != 0;
}

BaseADMDialog::BaseADMDialog() : fIsModal(false), fSelfDeleteHook(nullptr) {}

BaseADMDialog::~BaseADMDialog() {
  if (fDialog == nullptr || fIsModal || sADMDialog == nullptr) return;
  // Detach first, so that destroying the dialog calls nothing back in this half-destroyed
  // object. The track handler stays: the dialog manager does not track a dialog it destroys.
  sADMDialog->SetUserData(fDialog, nullptr);
  sADMDialog->SetDrawProc(fDialog, nullptr);
  sADMDialog->SetNotifyProc(fDialog, nullptr);
  sADMDialog->SetDestroyProc(fDialog, nullptr);
  sADMDialog->Destroy(fDialog);
  fDialog = nullptr;
}

ASErr BaseADMDialog::Init() {
  if (sADMDialog != nullptr && fDialog != nullptr) {
    sADMDialog->SetDrawProc(fDialog, DrawProc);
    sADMDialog->SetTrackProc(fDialog, TrackProc);
    sADMDialog->SetNotifyProc(fDialog, NotifyProc);
    sADMDialog->SetDestroyProc(fDialog, DestroyProc);
  }
  return kNoErr;
}

void BaseADMDialog::Draw(IADMDrawer drawer) {
  if (sADMDialog != nullptr) sADMDialog->DefaultDraw(fDialog, drawer);
}

ASBoolean BaseADMDialog::Track(IADMTracker tracker) {
  return sADMDialog != nullptr ? sADMDialog->DefaultTrack(fDialog, tracker) : 0;
}

void BaseADMDialog::Notify(IADMNotifier notifier) {
  if (sADMDialog != nullptr) sADMDialog->DefaultNotify(fDialog, notifier);
}

void BaseADMDialog::Destroy() {}

ADMDialogRef BaseADMDialog::Create(SPPluginRef pluginRef, char* name, int dialogID,
                                   ADMDialogStyle style, int options) {
  if (sADMDialog == nullptr) return nullptr;
  ADMDialogRef dialog =
      sADMDialog->Create(pluginRef, name, dialogID, style, InitProc, this, options);
  fDialog = dialog;
  return dialog;
}

int BaseADMDialog::Modal(SPPluginRef pluginRef, char* name, int dialogID, ADMDialogStyle style,
                         int options) {
  fIsModal = true;
  if (sADMDialog == nullptr) return -1;
  return sADMDialog->Modal(pluginRef, name, dialogID, style, InitProc, this, options);
}

int BaseADMDialog::PopupModal(SPPluginRef pluginRef, char* name, int dialogID, int options) {
  fIsModal = true;
  if (sADMDialog == nullptr) return -1;
  return sADMDialog->PopupModal(pluginRef, name, dialogID, InitProc, this, options);
}

BaseADMDialog* BaseADMDialog::FromDialog(ADMDialogRef dialog) {
  if (sADMDialog == nullptr || dialog == nullptr) return nullptr;
  return static_cast<BaseADMDialog*>(sADMDialog->GetUserData(dialog));
}

ASErr ADMAPI BaseADMDialog::InitProc(ADMDialogRef dialog) {
  BaseADMDialog* object = FromDialog(dialog);
  if (object == nullptr) return kNoErr;
  object->fDialog = dialog;
  return object->Init();
}

void ADMAPI BaseADMDialog::DrawProc(ADMDialogRef dialog, ADMDrawerRef drawer) {
  BaseADMDialog* object = FromDialog(dialog);
  if (object != nullptr && object->fDialog == dialog) object->Draw(drawer);
}

ASBoolean ADMAPI BaseADMDialog::TrackProc(ADMDialogRef dialog, ADMTrackerRef tracker) {
  BaseADMDialog* object = FromDialog(dialog);
  if (object != nullptr && object->fDialog == dialog) return object->Track(tracker);
  return 0;
}

void ADMAPI BaseADMDialog::NotifyProc(ADMDialogRef dialog, ADMNotifierRef notifier) {
  BaseADMDialog* object = FromDialog(dialog);
  if (object != nullptr) object->Notify(notifier);
}

void ADMAPI BaseADMDialog::DestroyProc(ADMDialogRef dialog) {
  BaseADMDialog* object = FromDialog(dialog);
  if (object == nullptr) return;
  object->Destroy();
  // The dialog is going away: the object must never hand it to the dialog manager again.
  object->fDialog = nullptr;
  if (object->fIsModal) return;  // owned by whoever ran Modal
  if (object->fSelfDeleteHook != nullptr) object->fSelfDeleteHook(object);
  delete object;
}
