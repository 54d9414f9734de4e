/*
 * The layouts of the binary interface's records on each target, checked at
 * compile time: included at the end of host/abi.h, after the records.
 */
#ifndef VELLORAN_HOST_ABI_LAYOUT_H
#define VELLORAN_HOST_ABI_LAYOUT_H

#include <stddef.h>
#include <stdint.h>

/* ---- Layouts ------------------------------------------------------------ */

/* Sizes and offsets in bytes (@ offset), the design's on 32-bit targets:

     record              32-bit                   64-bit Linux
     PluginHeaderRecord  16, resolveEntry @12     24, resolveEntry @16
     PluginInfo          56, name @20, helpFile   96, name @24, helpFile @88
                         @52
     CommandRecord        8, function @4          16, function @8
     HelpRecord           8, reserved @4          16, reserved @8
     ConstantRecord      16, reserved @4,         24, reserved @8, value @16
                         value @8
     TagItem              8, data @4              16, data @8
     ItemValue           12, data @4, length @8   24, data @8, length @16
     Option              key @4, text @8, number  32, key @8, text @16,
                         at the next multiple of  number @24
                         double's alignment
     HostServices        68 (17 words)            136 (17 pointers)
*/
#if UINTPTR_MAX == 0xFFFFFFFFu
#define ABI_LAYOUT(bits32, linux64) (bits32)
#elif UINTPTR_MAX == 0xFFFFFFFFFFFFFFFFu && defined(__linux__)
#define ABI_LAYOUT(bits32, linux64) (linux64)
#else
#error "the binary interface has no layout for this target"
#endif

/* Where a host finds the resolver in the plugin header. */
#define PLUGIN_RESOLVER_OFFSET ABI_LAYOUT(12, 16)

#define ABI_CHECK(condition) static_assert(condition, #condition)
ABI_CHECK(sizeof(PluginHeaderRecord) == ABI_LAYOUT(16, 24));
ABI_CHECK(offsetof(PluginHeaderRecord, version) == 8);
ABI_CHECK(offsetof(PluginHeaderRecord, resolveEntry) == PLUGIN_RESOLVER_OFFSET);
ABI_CHECK(sizeof(PluginInfo) == ABI_LAYOUT(56, 96));
ABI_CHECK(offsetof(PluginInfo, hostRevision) == 16);
ABI_CHECK(offsetof(PluginInfo, name) == ABI_LAYOUT(20, 24));
ABI_CHECK(offsetof(PluginInfo, helpFile) == ABI_LAYOUT(52, 88));
ABI_CHECK(sizeof(CommandRecord) == ABI_LAYOUT(8, 16));
ABI_CHECK(offsetof(CommandRecord, function) == ABI_LAYOUT(4, 8));
ABI_CHECK(sizeof(HelpRecord) == ABI_LAYOUT(8, 16));
ABI_CHECK(offsetof(HelpRecord, reserved) == ABI_LAYOUT(4, 8));
ABI_CHECK(sizeof(ConstantRecord) == ABI_LAYOUT(16, 24));
ABI_CHECK(offsetof(ConstantRecord, reserved) == ABI_LAYOUT(4, 8));
ABI_CHECK(offsetof(ConstantRecord, value) == ABI_LAYOUT(8, 16));
ABI_CHECK(sizeof(TagItem) == ABI_LAYOUT(8, 16));
ABI_CHECK(offsetof(TagItem, data) == ABI_LAYOUT(4, 8));
ABI_CHECK(sizeof(ItemValue) == ABI_LAYOUT(12, 24));
ABI_CHECK(offsetof(ItemValue, data) == ABI_LAYOUT(4, 8));
ABI_CHECK(offsetof(ItemValue, length) == ABI_LAYOUT(8, 16));
ABI_CHECK(offsetof(Option, key) == ABI_LAYOUT(4, 8));
ABI_CHECK(offsetof(Option, text) == ABI_LAYOUT(8, 16));
ABI_CHECK(offsetof(Option, number) == ABI_LAYOUT((12 + alignof(double) - 1) / alignof(double) *
                                                     alignof(double),
                                                 24));
ABI_CHECK(sizeof(HostServices) == HOST_SERVICES_SLOTS * ABI_LAYOUT(4, 8));
#undef ABI_CHECK

#endif
