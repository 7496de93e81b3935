# The data files the installer writes for setup when no switch names them:
# "BIN" 305 (initial preferences), 306 (distribution identifiers, in
# windows-1251) and ABT_CONFIG (A/B-test configuration). The product carries
# no 323 (website icon); the unit tests carry one rendered from our SVG.
#   LITE_INSTALLER_DATA_RC     resource lines of the product
#   LITE_INSTALLER_DATA_FILES  the files they name
#   LITE_TEST_INSTALLER_DATA_RC / _FILES  the unit tests' (with 323)
set(data_src "${CMAKE_CURRENT_LIST_DIR}")
set(data_out "${CMAKE_BINARY_DIR}/generated/installer_data")
set(data_script "${data_src}/make_installer_data.py")
file(MAKE_DIRECTORY "${data_out}")

add_custom_command(
  OUTPUT "${data_out}/clids.xml"
  COMMAND /usr/bin/python3 "${data_script}" clids "${data_src}/clids.xml"
          "${data_out}/clids.xml"
  DEPENDS "${data_script}" "${data_src}/clids.xml"
  COMMENT "clids.xml in windows-1251")
add_custom_command(
  OUTPUT "${data_out}/abt_config.json"
  COMMAND /usr/bin/python3 "${data_script}" abt-config "${data_out}/abt_config.json"
  DEPENDS "${data_script}"
  COMMENT "A/B-test configuration")
add_custom_command(
  OUTPUT "${data_out}/website.ico"
  COMMAND rsvg-convert -w 32 -h 32 "${data_src}/website_icon.svg"
          -o "${data_out}/website_icon.png"
  COMMAND convert "${data_out}/website_icon.png" "${data_out}/website.ico"
  DEPENDS "${data_src}/website_icon.svg"
  COMMENT "Website icon from its SVG")

set(LITE_INSTALLER_DATA_FILES
  "${data_src}/master_preferences.json" "${data_out}/clids.xml"
  "${data_out}/abt_config.json")
set(LITE_INSTALLER_DATA_RC
  "305 BIN \"${data_src}/master_preferences.json\"\n306 BIN \"${data_out}/clids.xml\"\nABT_CONFIG BIN \"${data_out}/abt_config.json\"\n")
set(LITE_TEST_INSTALLER_DATA_FILES ${LITE_INSTALLER_DATA_FILES} "${data_out}/website.ico")
set(LITE_TEST_INSTALLER_DATA_RC
  "${LITE_INSTALLER_DATA_RC}323 BIN \"${data_out}/website.ico\"\n")
add_custom_target(installer_data_files DEPENDS ${LITE_TEST_INSTALLER_DATA_FILES})
