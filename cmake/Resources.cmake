# corvala_embed_resources(target): after each link, appends the shipped resources to the target's
# file with corvala-res: RES_CONFIG_INI, RES_SPLASH, RES_AUTORUN and RES_CD (RCDATA, language 0)
# and MAINICON (icon group with images 1 to 6: 32, 16, 48, 64, 128 and 256 px; language 2052).
# The assets are drawn by assets/.
set(CORVALA_ASSETS_DIR ${CMAKE_BINARY_DIR}/assets)

function(corvala_embed_resources target)
  add_dependencies(${target} corvala-res corvala_assets)
  set(file $<TARGET_FILE:${target}>)
  set(tool $<TARGET_FILE:corvala-res>)
  set(assets ${CORVALA_ASSETS_DIR})
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${tool} set ${file} RCDATA RES_CONFIG_INI 0 ${assets}/config.ini
    COMMAND ${tool} set ${file} RCDATA RES_SPLASH 0 ${assets}/splash.bmp
    COMMAND ${tool} set ${file} RCDATA RES_AUTORUN 0 ${assets}/autorun.inf
    COMMAND ${tool} set ${file} RCDATA RES_CD 0 ${assets}/cd.ico
    COMMAND ${tool} addicon ${file} MAINICON 2052 ${assets}/mainicon.ico
    COMMENT "Embedding the shipped resources into ${target}"
    VERBATIM)
endfunction()
