/* SPDX-License-Identifier: Apache-2.0 */
/* Links a language DLL that is resources only: the .rsrc section and nothing else. The default
   script of mingw's ld would add a .text section (the constructor lists) and an empty import
   table even with no code at all; the program only ever maps these DLLs as data. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .rsrc __image_base__ + ( __section_alignment__ < 0x1000 ? . : __section_alignment__ ) :
  {
    *(.rsrc)
    *(SORT(.rsrc$*))
  }
  /DISCARD/ : { *(*) }
}
