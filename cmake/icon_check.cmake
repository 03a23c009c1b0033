# start_check_icon(<option> <path>): stops the configure when <path>, given in
# <option>, is not an icon file windres can embed: an icon directory
# (reserved 0, type 1, at least one image) whose entries all point at image
# data inside the file. windres itself would fail later with a vaguer message,
# or not at all for an entry that runs past the end of the file.

# Unsigned little-endian value of <length> bytes at byte <offset> of <hex>, a
# file read with file(READ ... HEX).
function(_start_icon_value out hex offset length)
  set(digits "")
  math(EXPR end "${offset} + ${length}")
  set(index ${offset})
  while(index LESS end)
    math(EXPR position "${index} * 2")
    string(SUBSTRING "${hex}" ${position} 2 byte)
    string(PREPEND digits "${byte}")  # later bytes are the more significant
    math(EXPR index "${index} + 1")
  endwhile()
  math(EXPR value "0x${digits}")
  set(${out} ${value} PARENT_SCOPE)
endfunction()

function(start_check_icon option path)
  if(NOT EXISTS "${path}")
    message(FATAL_ERROR "${option} ${path} does not exist")
  elseif(IS_DIRECTORY "${path}")
    message(FATAL_ERROR "${option} ${path} is a folder, not an icon file")
  endif()
  set(not_icon "${option} ${path} is not an icon file:")

  file(SIZE "${path}" file_size)
  if(file_size LESS 6)
    message(FATAL_ERROR "${not_icon} it has only ${file_size} bytes, "
                        "too few for an icon directory (6 bytes)")
  endif()
  file(READ "${path}" header LIMIT 6 HEX)
  _start_icon_value(reserved "${header}" 0 2)
  _start_icon_value(type "${header}" 2 2)
  _start_icon_value(count "${header}" 4 2)
  if(NOT reserved EQUAL 0 OR NOT type EQUAL 1)
    message(FATAL_ERROR "${not_icon} it does not start with an icon directory "
                        "(reserved 0, type 1)")
  endif()
  if(count EQUAL 0)
    message(FATAL_ERROR "${not_icon} its icon directory lists no images")
  endif()

  # Each image has a 16-byte entry after the 6-byte header; its size is at
  # byte 8 of the entry, its offset in the file at byte 12.
  math(EXPR directory_size "6 + 16 * ${count}")
  if(file_size LESS directory_size)
    math(EXPR whole_entries "(${file_size} - 6) / 16")
    math(EXPR cut_entry "${whole_entries} + 1")
    message(FATAL_ERROR "${not_icon} its icon directory lists ${count} images, "
                        "but the file ends within entry ${cut_entry} of that list")
  endif()
  file(READ "${path}" directory LIMIT ${directory_size} HEX)
  foreach(entry RANGE 1 ${count})
    math(EXPR at "6 + 16 * (${entry} - 1)")
    math(EXPR size_at "${at} + 8")
    math(EXPR offset_at "${at} + 12")
    _start_icon_value(size "${directory}" ${size_at} 4)
    _start_icon_value(offset "${directory}" ${offset_at} 4)
    math(EXPR data_end "${offset} + ${size}")
    if(size EQUAL 0)
      message(FATAL_ERROR "${not_icon} entry ${entry} holds no image data (size 0)")
    elseif(offset LESS directory_size)
      message(FATAL_ERROR "${not_icon} entry ${entry} places its image at offset "
                          "${offset}, inside the icon directory (${directory_size} bytes)")
    elseif(data_end GREATER file_size)
      message(FATAL_ERROR "${not_icon} entry ${entry} lies beyond the end of the file: "
                          "its ${size} bytes at offset ${offset} end at ${data_end}, "
                          "but the file has ${file_size} bytes")
    endif()
  endforeach()
endfunction()
