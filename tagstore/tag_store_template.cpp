// The built-in tag store table: the tag, size and offset of every record in the flash
// block. Plain constant data, so host tools that read flash images use the same layout.
#include "tagstore/tag_store_internal.h"

const TagStoreEntry gTagStoreTemplate[TAG_STORE_ENTRY_COUNT] = {
    {TAG_STORE_TAG('C', 'N', 'F', 'G'), 0, 0, 256, nullptr, 0x0000},
    {TAG_STORE_TAG('M', 'F', 'G', '0'), 0, 0, 256, nullptr, 0x0100},
    {TAG_STORE_TAG('S', 'L', 'P', '2'), 0, 0, 512, nullptr, 0x0200},
    {TAG_STORE_TAG('O', 'E', 'M', '2'), 0, 0, 512, nullptr, 0x0400},
    {TAG_STORE_TAG('S', 'L', 'P', '3'), 0, 0, 512, nullptr, 0x0600},
    {TAG_STORE_TAG('O', 'E', 'M', '5'), 0, 0, 512, nullptr, 0x0800},
    {TAG_STORE_TAG('_', 'D', 'M', 'I'), 0, 0, 2048, nullptr, 0x0A00},
    {TAG_STORE_TAG('C', 'N', 'F', '1'), 0, 0, 256, nullptr, 0x1200},
    {TAG_STORE_TAG('P', 'L', 'O', 'G'), 0, 0, 512, nullptr, 0x1300},
    {TAG_STORE_TERMINATOR, 0, 0, 0xFFFFFFFF, nullptr, TAG_STORE_RECORD_SPAN},
};
