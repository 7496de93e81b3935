# Generated resources: the string tables from resources/strings and the
# pictures rendered from the SVG art (resources/art), both written into the
# build tree only.

set(LITE_PYTHON /usr/bin/python3)
find_program(LITE_RSVG_CONVERT rsvg-convert REQUIRED)
find_program(LITE_IMAGEMAGICK_CONVERT convert REQUIRED)
set(LITE_STRINGS_SCRIPT "${PROJECT_SOURCE_DIR}/resources/strings/string_tables.py")
set(LITE_ART_SCRIPT "${PROJECT_SOURCE_DIR}/resources/art/render_art.py")

# lite_string_tables(<out dir>): checks the string sources and writes
# <out dir>/strings.rc (the STRINGTABLEs), strings.json (the same texts for
# the tests) and strings_review.html (a table per language for a person).
# A fault of the sources fails the build with the language, id and fault.
# Sets LITE_STRINGS_RC and LITE_STRINGS_JSON.
function(lite_string_tables out_dir)
  set(source_dir "${PROJECT_SOURCE_DIR}/resources/strings")
  file(GLOB sources CONFIGURE_DEPENDS "${source_dir}/*.txt")
  set(rc "${out_dir}/strings.rc")
  set(json "${out_dir}/strings.json")
  add_custom_command(
    OUTPUT "${rc}" "${json}" "${out_dir}/strings_review.html"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${out_dir}"
    COMMAND "${LITE_PYTHON}" "${LITE_STRINGS_SCRIPT}" generate "${source_dir}"
            "${rc}" "${json}" "${out_dir}/strings_review.html"
    DEPENDS ${sources} "${LITE_STRINGS_SCRIPT}"
    COMMENT "Checking the string tables and writing their resources"
    VERBATIM)
  set(LITE_STRINGS_RC "${rc}" PARENT_SCOPE)
  set(LITE_STRINGS_JSON "${json}" PARENT_SCOPE)
endfunction()

# lite_art(<list> <out dir> <rc variable>): renders the pictures <list>
# names into <out dir>, checks their pixel sizes, and writes the resource
# lines into <out dir>/art.rc (its path into <rc variable>) and a contact
# sheet of every picture into <out dir>/contact_sheet.html.
function(lite_art list out_dir rc_variable)
  get_filename_component(list_dir "${list}" DIRECTORY)
  file(GLOB svgs CONFIGURE_DEPENDS "${list_dir}/*.svg")
  set(rc "${out_dir}/art.rc")
  add_custom_command(
    OUTPUT "${rc}" "${out_dir}/contact_sheet.html"
    COMMAND "${CMAKE_COMMAND}" -E make_directory "${out_dir}"
    COMMAND "${LITE_PYTHON}" "${LITE_ART_SCRIPT}" "${list}" "${out_dir}" "${rc}"
            --contact-sheet "${out_dir}/contact_sheet.html"
            --convert "${LITE_IMAGEMAGICK_CONVERT}"
    DEPENDS "${list}" ${svgs} "${LITE_ART_SCRIPT}"
    COMMENT "Rendering the pictures of ${list}"
    VERBATIM)
  set(${rc_variable} "${rc}" PARENT_SCOPE)
endfunction()

# lite_fonts(<out dir>): makes the three private faces from Debian's Noto
# fonts (resources/fonts/make_fonts.py), subset to the characters of the
# string tables; a character no face can show fails the build with the
# face, language and string id. Sets LITE_FONTS_RC (the RT_FONT lines) and
# LITE_FONT_FILES.
set(LITE_FONTS_SCRIPT "${PROJECT_SOURCE_DIR}/resources/fonts/make_fonts.py")
function(lite_fonts out_dir)
  file(GLOB sources CONFIGURE_DEPENDS "${PROJECT_SOURCE_DIR}/resources/strings/*.txt")
  set(rc "${out_dir}/fonts.rc")
  set(files "${out_dir}/ns_geo_regular.ttf" "${out_dir}/ns_geo_medium.ttf"
            "${out_dir}/ns_text.ttf")
  add_custom_command(
    OUTPUT "${rc}" ${files} "${out_dir}/fonts.txt"
    COMMAND "${LITE_PYTHON}" "${LITE_FONTS_SCRIPT}"
            "${PROJECT_SOURCE_DIR}/resources/strings" "${out_dir}" "${rc}"
            --report "${out_dir}/fonts.txt"
    DEPENDS ${sources} "${LITE_FONTS_SCRIPT}" "${LITE_STRINGS_SCRIPT}"
    COMMENT "Making the private font faces"
    VERBATIM)
  set(LITE_FONTS_RC "${rc}" PARENT_SCOPE)
  set(LITE_FONT_FILES ${files} PARENT_SCOPE)
endfunction()
