// The trash of Trash.h on Windows: the desktop's recycle bin. An item goes in through the shell's
// file operation, which is told never to delete for good: where the bin cannot take an item the
// operation is stopped and the item stays where it was. The bin's own entry ($R...) and its record
// ($I...) are reported back, so that an item can be put back by one rename, as on Linux.
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <cerrno>
#include <thread>

#include "platform/FileSystem.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "platform/WindowsPaths.h"
#include "platform/win32/WideNames.h"

namespace pitkit {

namespace {

// Watches the delete: stops it where the item would be deleted for good, and keeps the path of
// the entry the bin made.
class DeleteWatch final : public IFileOperationProgressSink {
 public:
  std::wstring binEntry;
  bool refusedForGood = false;
  HRESULT deleteResult = S_OK;

  HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
    if (iid == IID_IUnknown || iid == IID_IFileOperationProgressSink) {
      *object = static_cast<IFileOperationProgressSink*>(this);
      AddRef();
      return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
  }
  // Lives on the stack of the operation; the counts are only kept.
  ULONG STDMETHODCALLTYPE AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
  ULONG STDMETHODCALLTYPE Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }

  HRESULT STDMETHODCALLTYPE PreDeleteItem(DWORD flags, IShellItem*) override {
    if ((flags & TSF_DELETE_RECYCLE_IF_POSSIBLE) != 0) return S_OK;
    refusedForGood = true;  // no bin here: the shell would delete it for good
    return E_ABORT;
  }
  HRESULT STDMETHODCALLTYPE PostDeleteItem(DWORD, IShellItem*, HRESULT result, IShellItem* created) override {
    deleteResult = result;
    wchar_t* path = nullptr;
    if (created != nullptr && SUCCEEDED(created->GetDisplayName(SIGDN_FILESYSPATH, &path)) && path != nullptr)
      binEntry = path;
    ::CoTaskMemFree(path);
    return S_OK;
  }

  HRESULT STDMETHODCALLTYPE StartOperations() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE FinishOperations(HRESULT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreRenameItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostRenameItem(DWORD, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PreMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostMoveItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostCopyItem(DWORD, IShellItem*, IShellItem*, LPCWSTR, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE PreNewItem(DWORD, IShellItem*, LPCWSTR) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PostNewItem(DWORD, IShellItem*, LPCWSTR, LPCWSTR, DWORD, HRESULT, IShellItem*) override {
    return S_OK;
  }
  HRESULT STDMETHODCALLTYPE UpdateProgress(UINT, UINT) override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResetTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE PauseTimer() override { return S_OK; }
  HRESULT STDMETHODCALLTYPE ResumeTimer() override { return S_OK; }

 private:
  LONG refs_ = 1;
};

// Releases a COM interface at the end of a scope.
template <class T>
struct Held {
  T* p = nullptr;
  ~Held() {
    if (p != nullptr) p->Release();
  }
};

// What one recycling gave: the bin's entry, or why there is none.
struct Recycled {
  std::wstring binEntry;
  std::string failure;  // "" when the shell reported success
};

// Sends `path` to the recycle bin. The shell's file operation wants a single-threaded apartment,
// which the calling thread may not be: it runs on a thread of its own.
Recycled recycle(const std::wstring& path) {
  Recycled out;
  std::thread([&] {
    const HRESULT init = ::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    if (FAILED(init)) {
      out.failure = win32::systemErrorText(static_cast<unsigned long>(init));
      return;
    }
    [&] {
      Held<IFileOperation> operation;
      Held<IShellItem> item;
      DeleteWatch watch;
      DWORD cookie = 0;
      HRESULT hr = ::CoCreateInstance(CLSID_FileOperation, nullptr, CLSCTX_ALL, IID_PPV_ARGS(&operation.p));
      if (SUCCEEDED(hr))
        hr = operation.p->SetOperationFlags(FOF_ALLOWUNDO | FOF_NOCONFIRMATION | FOF_SILENT | FOF_NOERRORUI |
                                            FOFX_EARLYFAILURE | FOFX_RECYCLEONDELETE);
      if (SUCCEEDED(hr)) hr = ::SHCreateItemFromParsingName(path.c_str(), nullptr, IID_PPV_ARGS(&item.p));
      if (SUCCEEDED(hr)) hr = operation.p->Advise(&watch, &cookie);
      if (SUCCEEDED(hr)) {
        hr = operation.p->DeleteItem(item.p, nullptr);
        if (SUCCEEDED(hr)) hr = operation.p->PerformOperations();
        BOOL aborted = FALSE;
        if (SUCCEEDED(hr) && SUCCEEDED(operation.p->GetAnyOperationsAborted(&aborted)) && aborted) hr = E_ABORT;
        operation.p->Unadvise(cookie);
      }
      if (SUCCEEDED(hr)) hr = watch.deleteResult;
      if (watch.refusedForGood)
        out.failure = "this drive has no recycle bin";
      else if (FAILED(hr))
        out.failure = win32::systemErrorText(static_cast<unsigned long>(hr));
      out.binEntry = std::move(watch.binEntry);
    }();
    ::CoUninitialize();
  }).join();
  return out;
}

bool entryExists(const std::string& path) {
  return ::GetFileAttributesW(win32::widePath(path).c_str()) != INVALID_FILE_ATTRIBUTES;
}

// Wine (8 and before) does not carry out the shell's file operation: its recycle bin cannot take
// an item, so the program asks before deleting for good, as where there is no trash at all.
bool underWine() {
  const HMODULE ntdll = ::GetModuleHandleW(L"ntdll.dll");
  return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

int errnoOf(DWORD error) {
  switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND: return ENOENT;
    case ERROR_ALREADY_EXISTS:
    case ERROR_FILE_EXISTS: return EEXIST;
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION: return EACCES;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    default: return EIO;
  }
}

}  // namespace

std::string trashFolderFor(const std::string& path) {
  const std::string entry = excludeTrailingDelim(expandFileName(path));
  if (!isAbsolutePath(entry) || entry.size() < 3 || entry[1] != ':') return {};  // network paths have no bin
  const std::string root = entry.substr(0, 3);
  const DriveKind kind = driveKindOf(::GetDriveTypeW(win32::widePath(root).c_str()));
  if ((kind != DriveKind::Fixed && kind != DriveKind::Removable) || underWine()) return {};
  SHQUERYRBINFO info{};
  info.cbSize = sizeof info;
  if (FAILED(::SHQueryRecycleBinW(win32::widePath(root, false).c_str(), &info))) return {};
  return root + "$Recycle.Bin";
}

TrashedItem moveToTrash(const std::string& path, const std::string& recordedPath) {
  const std::string entry = excludeTrailingDelim(expandFileName(path));
  // The bin records where the item was deleted from: an item waiting under another name keeps that
  // name there. The messages name the item as the user knows it.
  const std::string shown = recordedPath.empty() ? entry : excludeTrailingDelim(recordedPath);
  if (!entryExists(entry)) throw EOSError(ENOENT, "Cannot move " + shown + " to the recycle bin");
  if (trashFolderFor(entry).empty())
    throw ETrashUnavailable("No recycle bin on the drive of " + shown + " can take it");
  const Recycled recycled = recycle(win32::widePath(entry, false));
  // Whatever the shell said, an item still in its place went nowhere; one that is gone went to the
  // bin (the shell was told never to delete for good).
  if (entryExists(entry))
    throw ETrashUnavailable("The recycle bin did not take " + shown +
                            (recycled.failure.empty() ? std::string() : ": " + recycled.failure));
  if (recycled.binEntry.empty()) return {};  // in the bin, but the shell did not say where
  return trashedItemAt(win32::programPath(recycled.binEntry));
}

TrashedItem trashedItemAt(const std::string& file) {
  const std::string entry = excludeTrailingDelim(file);
  const std::string name = extractFileName(entry);
  // The bin keeps "$R<id><ext>" with its record "$I<id><ext>" beside it.
  if (name.size() < 2 || name[0] != '$' || (name[1] != 'R' && name[1] != 'r')) return {entry, {}};
  return {entry, extractFilePath(entry) + "$I" + name.substr(2)};
}

int restoreFromTrash(const TrashedItem& item, const std::string& path) {
  if (item.file.empty()) return ENOENT;
  if (!::MoveFileExW(win32::widePath(item.file).c_str(), win32::widePath(path).c_str(), 0))
    return errnoOf(::GetLastError());
  if (!item.info.empty()) ::DeleteFileW(win32::widePath(item.info).c_str());
  return 0;
}

}  // namespace pitkit
