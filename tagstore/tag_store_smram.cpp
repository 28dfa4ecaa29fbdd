// The SMM image's own copy of the tag store. The shared table and its caches lie in
// runtime pool, which the operating system owns once it runs, and an SMI must follow
// nothing the operating system can write. So inside SMM the store works on a table and
// caches of its own in SMRAM, built from the built-in template and filled only from the
// flash block.
#include "runtime/base/memory.h"
#include "runtime/base/pool.h"
#include "runtime/base/services.h"
#include "runtime/uefi/status.h"
#include "tagstore/tag_store_internal.h"

static TAG_STORE_SMRAM_COPY *mSmramCopy;

EFI_STATUS TagStoreInitSmram(VOID) {
  if (gSmst == nullptr) {
    return EFI_NOT_READY;
  }
  if (mSmramCopy == nullptr) {
    TAG_STORE_SMRAM_COPY *Copy = nullptr;
    EFI_STATUS Status = gSmst->SmmAllocatePool(EfiRuntimeServicesData, sizeof(*Copy), (VOID **)&Copy);
    if (EFI_ERROR(Status)) {
      return Status;
    }
    CopyMem(Copy->Table, gTagStoreTemplate, sizeof(Copy->Table));
    for (TagStoreEntry *Entry = Copy->Table; Entry->Tag != TAG_STORE_TERMINATOR; Entry++) {
      Entry->Cache = TagStoreRecordInBlock(Entry) ? &Copy->Records[Entry->Offset] : nullptr;
    }
    mSmramCopy = Copy;
  }
  gTagStoreTable = mSmramCopy->Table;
  return EFI_SUCCESS;
}

BOOLEAN TagStoreIsPrivate(VOID) {
  return mSmramCopy != nullptr && gTagStoreTable == mSmramCopy->Table &&
         IsRangeInSmram(mSmramCopy, sizeof(*mSmramCopy));
}
