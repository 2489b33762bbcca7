// One object bound to one dialog of the host's dialog manager: the dialog's callbacks arrive at
// five static handlers, which find the object through the dialog's user data and turn each
// callback into a virtual operation, so that a panel overrides only what it needs.
//
// Ownership: deleting a non-modal object destroys its dialog (without calling back into the
// object); the dialog manager destroying a non-modal dialog deletes the object, after telling its
// owner through the self-delete hook so that the owner forgets its pointer.
#ifndef SARVELLO_UI_BASEADMDIALOG_H
#define SARVELLO_UI_BASEADMDIALOG_H

#include "HostAPI.h"

// Thin wrappers of the dialog manager's references, passed by value.
class IADMDrawer {
 public:
  IADMDrawer(ADMDrawerRef drawer = nullptr) : fDrawer(drawer) {}
  operator ADMDrawerRef() const { return fDrawer; }

 private:
  ADMDrawerRef fDrawer;
};

class IADMTracker {
 public:
  IADMTracker(ADMTrackerRef tracker = nullptr) : fTracker(tracker) {}
  operator ADMTrackerRef() const { return fTracker; }

 private:
  ADMTrackerRef fTracker;
};

class IADMNotifier {
 public:
  IADMNotifier(ADMNotifierRef notifier = nullptr) : fNotifier(notifier) {}
  operator ADMNotifierRef() const { return fNotifier; }
  // True when the notification is of the given type (false without a notifier suite).
  bool IsNotifierType(const char* type) const;

 private:
  ADMNotifierRef fNotifier;
};

// Non-polymorphic holder of a dialog reference (none when there is no dialog).
class IADMDialog {
 public:
  IADMDialog() : fDialog(nullptr) {}
  ADMDialogRef GetDialogRef() const { return fDialog; }

 protected:
  ADMDialogRef fDialog;
};

class BaseADMDialog : public IADMDialog {
 public:
  BaseADMDialog();
  BaseADMDialog(const BaseADMDialog&) = delete;
  BaseADMDialog& operator=(const BaseADMDialog&) = delete;

  // Registers DrawProc, TrackProc, NotifyProc and DestroyProc as the dialog's handlers; 0.
  virtual ASErr Init();
  virtual void Draw(IADMDrawer drawer);
  virtual ASBoolean Track(IADMTracker tracker);
  virtual void Notify(IADMNotifier notifier);
  // Called by DestroyProc when the dialog manager destroys the dialog.
  virtual void Destroy();
  virtual ~BaseADMDialog();

  // A non-modal dialog from resource `dialogID`; InitProc runs before this returns. The handle,
  // also stored in the object; none when the dialog manager refused.
  ADMDialogRef Create(SPPluginRef pluginRef, char* name, int dialogID, ADMDialogStyle style,
                      int options);
  int Modal(SPPluginRef pluginRef, char* name, int dialogID, ADMDialogStyle style, int options);
  int PopupModal(SPPluginRef pluginRef, char* name, int dialogID, int options);

  // Called with the object just before it deletes itself because the dialog manager destroyed
  // its dialog, so that whoever keeps a pointer to it can forget it.
  using SelfDeleteHook = void (*)(BaseADMDialog* dialog);
  void SetSelfDeleteHook(SelfDeleteHook hook) { fSelfDeleteHook = hook; }

  bool IsModal() const { return fIsModal; }
  // Forgets the dialog without destroying it: the dialog manager has destroyed it already.
  void ForgetDialog() { fDialog = nullptr; }

  // The object bound to a dialog (its user data), or none.
  static BaseADMDialog* FromDialog(ADMDialogRef dialog);

  static ASErr ADMAPI InitProc(ADMDialogRef dialog);
  static void ADMAPI DrawProc(ADMDialogRef dialog, ADMDrawerRef drawer);
  static ASBoolean ADMAPI TrackProc(ADMDialogRef dialog, ADMTrackerRef tracker);
  static void ADMAPI NotifyProc(ADMDialogRef dialog, ADMNotifierRef notifier);
  static void ADMAPI DestroyProc(ADMDialogRef dialog);

 protected:
  bool fIsModal;

 private:
  SelfDeleteHook fSelfDeleteHook;
};

#endif
