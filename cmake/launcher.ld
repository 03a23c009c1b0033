/* The launcher's layout: code and constants in one section, then the
   writable globals (no bytes in the file), the import tables and the icon.
   Every section of a PE file is padded to 512 bytes in the file; in a program
   of a few kilobytes, the usual separate constants section and its padding
   are a tenth of its size. The 32-bit build adds .reloc.
   Of the import tables only the address table is written (by the system, as
   it loads the launcher); the lookup table beside it is read-only, so it sits
   with the constants, as other linkers place it. */
SECTIONS
{
  . = SIZEOF_HEADERS;
  . = ALIGN(__section_alignment__);
  .text __image_base__ + (__section_alignment__ < 0x1000 ? . : __section_alignment__) :
  {
    *(.text)
    *(SORT(.text$*))
    *(.text.*)
    *(.rdata)
    *(SORT(.rdata$*))
    *(.rodata*)
    . = ALIGN(8);
    KEEP (SORT(*)(.idata$4))
  }
  .data BLOCK(__section_alignment__) :
  {
    *(.data)
    *(SORT(.data$*))
  }
  .bss BLOCK(__section_alignment__) :
  {
    *(.bss)
    *(COMMON)
  }
  /* In the order the linker builds them; the system writes the addresses of
     the imported functions here when it loads the launcher. */
  .idata BLOCK(__section_alignment__) :
  {
    KEEP (SORT(*)(.idata$2))
    KEEP (SORT(*)(.idata$3))
    /* These zeroes mark the end of the import list.  */
    LONG (0); LONG (0); LONG (0); LONG (0); LONG (0);
    . = ALIGN(8);
    __IAT_start__ = .;
    KEEP (SORT(*)(.idata$5))
    __IAT_end__ = .;
    KEEP (SORT(*)(.idata$6))
    KEEP (SORT(*)(.idata$7))
  }
  .rsrc BLOCK(__section_alignment__) : SUBALIGN(4)
  {
    KEEP (*(.rsrc))
    KEEP (*(.rsrc$*))
  }
  .reloc BLOCK(__section_alignment__) :
  {
    *(.reloc)
  }
  /DISCARD/ :
  {
    *(.drectve)
    *(.note.GNU-stack)
    *(.gnu.lto_*)
    *(.debug*)
    *(.eh_frame*)
    *(.comment)
  }
}
