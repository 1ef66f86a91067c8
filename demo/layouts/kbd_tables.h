/*
 * kbd_tables.h - structures of a Windows keyboard layout library.
 *
 * Written from the public description of the keyboard layout table format
 * (KBDTABLES, MODIFIERS, VK_TO_BIT, VK_TO_WCHAR_TABLE, DEADKEY, VSC_VK,
 * VSC_LPWSTR).  Every pointer is a native pointer: the library is compiled
 * separately for each architecture, so the 32-bit image gets 32-bit pointers
 * and the 64-bit image gets 64-bit pointers.
 *
 * With KL_WOW64 defined the 32-bit compiler makes the WOW64 edition: a 64-bit
 * system reads the layout library of its 32-bit system folder with 64-bit
 * pointers, so every pointer of the tables becomes an 8-byte, 8-aligned field
 * whose high half is zero, and the structures get the 64-bit layout.  Tables
 * are initialised through KL_P(x) so that both forms take the same source.
 *
 * Names carry a KL_ prefix so that they never clash with anything a system
 * header might define.
 */
#ifndef DEMO_KBD_TABLES_H
#define DEMO_KBD_TABLES_H

#include <stddef.h>

typedef unsigned char  KL_BYTE;
typedef unsigned short KL_USHORT;   /* 16 bits */
typedef unsigned short KL_WCHAR;    /* UTF-16 code unit */
typedef unsigned int   KL_DWORD;    /* 32 bits on both architectures */

#ifdef KL_WOW64
#define KL_PTR(T) struct { T *p; KL_DWORD high; } __attribute__((aligned(8)))
#define KL_P(x) { (x), 0 }
#define KL_PTR_SIZE 8
#else
#define KL_PTR(T) T *
#define KL_P(x) (x)
#define KL_PTR_SIZE sizeof(void *)
#endif

/* Flags stored in the high byte of a scan-code -> virtual-key entry. */
#define KL_KBDEXT      0x0100  /* extended key (E0 prefix / right-hand key) */
#define KL_KBDMULTIVK  0x0200  /* key produces different VKs with modifiers */
#define KL_KBDSPECIAL  0x0400  /* key needs special processing */
#define KL_KBDNUMPAD   0x0800  /* numeric keypad key (Num Lock dependent) */

/* Modifier bits. */
#define KL_KBDSHIFT    0x01
#define KL_KBDCTRL     0x02
#define KL_KBDALT      0x04

#define KL_SHFT_INVALID 0x0F   /* modifier combination not used */

/* Attributes of a VK_TO_WCHARS record. */
#define KL_CAPLOK       0x01   /* Caps Lock acts like Shift */
#define KL_SGCAPS       0x02
#define KL_CAPLOKALTGR  0x04   /* Caps Lock also acts on the AltGr columns */

/* Special character values. */
#define KL_WCH_NONE  0xF000
#define KL_WCH_DEAD  0xF001
#define KL_WCH_LGTR  0xF002

/* Locale flags: low word flags, high word table version. */
#define KL_KLLF_ALTGR    0x0001
#define KL_KBD_VERSION   1

typedef struct {
    KL_BYTE Vk;
    KL_BYTE ModBits;
} KL_VK_TO_BIT;

/* The format ends this structure with a variable-length byte array indexed
 * by modifier bits; a fixed upper bound keeps static initialisation simple
 * and leaves the offsets of the leading members unchanged. */
typedef struct {
    KL_PTR(KL_VK_TO_BIT) pVkToBit;
    KL_USHORT     wMaxModBits;
    KL_BYTE       ModNumber[8];
} KL_MODIFIERS;

#define KL_DEFINE_VK_TO_WCHARS(n)          \
    typedef struct {                       \
        KL_BYTE  VirtualKey;               \
        KL_BYTE  Attributes;               \
        KL_WCHAR wch[n];                   \
    } KL_VK_TO_WCHARS##n;

KL_DEFINE_VK_TO_WCHARS(1)
KL_DEFINE_VK_TO_WCHARS(2)
KL_DEFINE_VK_TO_WCHARS(3)
KL_DEFINE_VK_TO_WCHARS(4)
KL_DEFINE_VK_TO_WCHARS(5)

typedef struct {
    KL_PTR(KL_VK_TO_WCHARS1) pVkToWchars;  /* really a KL_VK_TO_WCHARSn array */
    KL_BYTE           nModifications; /* n: number of character columns */
    KL_BYTE           cbSize;         /* size of one record in bytes */
} KL_VK_TO_WCHAR_TABLE;

/* dwBoth: low word = base character, high word = dead (accent) character */
typedef struct {
    KL_DWORD  dwBoth;
    KL_WCHAR  wchComposed;
    KL_USHORT uFlags;
} KL_DEADKEY;

#define KL_DEADTRANS(ch, accent, comp, flags) \
    { ((KL_DWORD)(KL_USHORT)(ch)) | (((KL_DWORD)(KL_USHORT)(accent)) << 16), (comp), (flags) }

typedef KL_PTR(KL_WCHAR) KL_WCHAR_PTR;

typedef struct {
    KL_BYTE   vsc;
    KL_PTR(KL_WCHAR) pwsz;
} KL_VSC_LPWSTR;

/* Record of the E0 and E1 lists: scan code byte, then a 16-bit VK
 * (one byte of padding between them). */
typedef struct {
    KL_BYTE   Vsc;
    KL_USHORT Vk;
} KL_VSC_VK;

typedef struct {
    KL_BYTE  VirtualKey;
    KL_WCHAR ModificationNumber;
    KL_WCHAR wch[1];
} KL_LIGATURE1;

typedef struct {
    KL_PTR(KL_MODIFIERS)         pCharModifiers;
    KL_PTR(KL_VK_TO_WCHAR_TABLE) pVkToWcharTable;
    KL_PTR(KL_DEADKEY)           pDeadKey;
    KL_PTR(KL_VSC_LPWSTR)        pKeyNames;
    KL_PTR(KL_VSC_LPWSTR)        pKeyNamesExt;
    KL_PTR(KL_WCHAR_PTR)         pKeyNamesDead;
    KL_PTR(KL_USHORT)            pusVSCtoVK;
    KL_BYTE                      bMaxVSCtoVK;
    KL_PTR(KL_VSC_VK)            pVSCtoVK_E0;
    KL_PTR(KL_VSC_VK)            pVSCtoVK_E1;
    KL_DWORD                     fLocaleFlags;
    KL_BYTE                      nLgMax;
    KL_BYTE                      cbLgEntry;
    KL_PTR(KL_LIGATURE1)         pLigature;
    KL_DWORD              dwType;
    KL_DWORD              dwSubType;
} KL_KBDTABLES;

/* Layout checks: a record of the E0/E1 lists is 4 bytes, a scan-code entry
 * 2 bytes, and the pointer members follow the pointer size of the edition. */
typedef char kl_check_vsc_vk[(sizeof(KL_VSC_VK) == 4) ? 1 : -1];
typedef char kl_check_deadkey[(sizeof(KL_DEADKEY) == 8) ? 1 : -1];
typedef char kl_check_wchars1[(sizeof(KL_VK_TO_WCHARS1) == 4) ? 1 : -1];
typedef char kl_check_tables[(offsetof(KL_KBDTABLES, pusVSCtoVK) == 6 * KL_PTR_SIZE) ? 1 : -1];
typedef char kl_check_e0[(offsetof(KL_KBDTABLES, pVSCtoVK_E0) == 8 * KL_PTR_SIZE) ? 1 : -1];
typedef char kl_check_wchar_table[(sizeof(KL_VK_TO_WCHAR_TABLE) == 2 * KL_PTR_SIZE) ? 1 : -1];
typedef char kl_check_lpwstr[(sizeof(KL_VSC_LPWSTR) == 2 * KL_PTR_SIZE) ? 1 : -1];

#endif /* DEMO_KBD_TABLES_H */
