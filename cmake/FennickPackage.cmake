# Release: the version header that every resource script includes, and the vendor's zip
# (`cmake --build <build> --target package`, one zip per architecture's build folder).
# Included at the end of the top-level CMakeLists.txt, when every target exists.

# ---- One version number: project(VERSION) -> generated/fennick_version.h -> each VERSIONINFO ----
set(FENNICK_GENERATED_DIR ${CMAKE_BINARY_DIR}/generated)
set(FENNICK_VERSION_MAJOR ${PROJECT_VERSION_MAJOR})
set(FENNICK_VERSION_MINOR ${PROJECT_VERSION_MINOR})
set(FENNICK_VERSION_PATCH ${PROJECT_VERSION_PATCH})
set(FENNICK_VERSION_TWEAK ${PROJECT_VERSION_TWEAK})
foreach(part MINOR PATCH TWEAK)
  if("${FENNICK_VERSION_${part}}" STREQUAL "")
    set(FENNICK_VERSION_${part} 0)
  endif()
endforeach()
# SOURCE_DATE_EPOCH, when set, keeps the year reproducible.
string(TIMESTAMP FENNICK_COPYRIGHT_YEAR "%Y" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/fennick_version.h.in
  ${FENNICK_GENERATED_DIR}/fennick_version.h @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/fennick_versioninfo.rc
  ${FENNICK_GENERATED_DIR}/fennick_versioninfo.rc COPYONLY)

# Every target of this source tree sees the generated folder. windres reports no header
# dependencies to Ninja, so each resource script is told explicitly to rebuild when the
# version changes.
function(_fennick_collect_targets dir out)
  get_property(found DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(sub IN LISTS subdirs)
    string(FIND "${sub}/" "${PROJECT_SOURCE_DIR}/" at)
    if(at EQUAL 0)
      _fennick_collect_targets(${sub} more)
      list(APPEND found ${more})
    endif()
  endforeach()
  set(${out} ${found} PARENT_SCOPE)
endfunction()

_fennick_collect_targets(${PROJECT_SOURCE_DIR} _fennick_targets)
foreach(target IN LISTS _fennick_targets)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY|MODULE_LIBRARY|STATIC_LIBRARY|OBJECT_LIBRARY)$")
    continue()
  endif()
  target_include_directories(${target} PRIVATE ${FENNICK_GENERATED_DIR})
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$" AND NOT source MATCHES "\\$<")
      get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${source_dir}")
      set_property(SOURCE "${source}" TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
        ${FENNICK_GENERATED_DIR}/fennick_version.h ${FENNICK_GENERATED_DIR}/fennick_versioninfo.rc)
    endif()
  endforeach()
endforeach()

# ---- The vendor's kit: exactly these files, from <build>/kit plus the two texts below ----
set(FENNICK_PACKAGE_PROGRAMS Fennick.exe QXFtp.dll QXHttp.dll QXMlangW.dll QXChkErr.exe)

# A shipped program whose own resource script carries no VERSIONINFO gets the shared block from a
# generated script, so that every file of the kit shows the one version.
set(_fennick_description_Fennick.exe "Fennick online installer")
set(_fennick_description_QXFtp.dll "Vantrel FTP transfer library")
set(_fennick_description_QXHttp.dll "Vantrel HTTP transfer library")
set(_fennick_description_QXMlangW.dll "Vantrel language string library")
set(_fennick_description_QXChkErr.exe "Vantrel download error checker")
foreach(target IN LISTS _fennick_targets)
  get_target_property(type ${target} TYPE)
  if(NOT type MATCHES "^(EXECUTABLE|SHARED_LIBRARY)$")
    continue()
  endif()
  get_target_property(output_dir ${target} RUNTIME_OUTPUT_DIRECTORY)
  if(output_dir AND NOT output_dir STREQUAL FENNICK_KIT_DIR)
    continue()  # test programs and stand-ins live elsewhere
  endif()
  get_target_property(output_name ${target} OUTPUT_NAME)
  if(NOT output_name)
    set(output_name ${target})
  endif()
  if(type STREQUAL "EXECUTABLE")
    set(file_name ${output_name}${CMAKE_EXECUTABLE_SUFFIX})
    set(file_type VFT_APP)
  else()
    get_target_property(prefix ${target} PREFIX)
    if(prefix STREQUAL "prefix-NOTFOUND")
      set(prefix ${CMAKE_SHARED_LIBRARY_PREFIX})
    endif()
    set(file_name ${prefix}${output_name}${CMAKE_SHARED_LIBRARY_SUFFIX})
    set(file_type VFT_DLL)
  endif()
  if(NOT file_name IN_LIST FENNICK_PACKAGE_PROGRAMS)
    continue()
  endif()
  set(has_version_info FALSE)
  get_target_property(sources ${target} SOURCES)
  get_target_property(source_dir ${target} SOURCE_DIR)
  foreach(source IN LISTS sources)
    if(source MATCHES "\\.rc$" AND NOT source MATCHES "\\$<")
      get_filename_component(source "${source}" ABSOLUTE BASE_DIR "${source_dir}")
      file(READ "${source}" script)
      if(script MATCHES "VERSIONINFO|fennick_versioninfo\\.rc")
        set(has_version_info TRUE)
      endif()
    endif()
  endforeach()
  if(NOT has_version_info)
    set(script ${FENNICK_GENERATED_DIR}/versioninfo/${target}.rc)
    file(CONFIGURE OUTPUT ${script} CONTENT "#include <windows.h>
#define FENNICK_FILE_DESCRIPTION \"${_fennick_description_${file_name}}\"
#define FENNICK_ORIGINAL_FILENAME \"${file_name}\"
#define FENNICK_FILE_TYPE ${file_type}
#include \"fennick_versioninfo.rc\"
")
    target_sources(${target} PRIVATE ${script})
    set_property(SOURCE ${script} TARGET_DIRECTORY ${target} APPEND PROPERTY OBJECT_DEPENDS
      ${FENNICK_GENERATED_DIR}/fennick_version.h ${FENNICK_GENERATED_DIR}/fennick_versioninfo.rc)
  endif()
endforeach()
set(FENNICK_PACKAGE_DATA QXMLANG.INI FENNICKMSG.MLG)
# Windows editors and GetPrivateProfileString are happiest with CRLF text.
configure_file(${PROJECT_SOURCE_DIR}/packaging/Fennick.ini
  ${FENNICK_GENERATED_DIR}/package/Fennick.ini @ONLY NEWLINE_STYLE CRLF)
configure_file(${PROJECT_SOURCE_DIR}/packaging/VendorGuide.txt
  ${FENNICK_GENERATED_DIR}/package/VendorGuide.txt @ONLY NEWLINE_STYLE CRLF)

foreach(file IN LISTS FENNICK_PACKAGE_PROGRAMS)
  install(PROGRAMS ${FENNICK_KIT_DIR}/${file} DESTINATION . COMPONENT kit)
endforeach()
foreach(file IN LISTS FENNICK_PACKAGE_DATA)
  install(FILES ${FENNICK_KIT_DIR}/${file} DESTINATION . COMPONENT kit)
endforeach()
install(FILES ${FENNICK_GENERATED_DIR}/package/Fennick.ini ${FENNICK_GENERATED_DIR}/package/VendorGuide.txt
  DESTINATION . COMPONENT kit)
# The zip's copies lose their symbol tables (about two thirds of each file); the build's own kit
# keeps them. Then the optional Authenticode signature of the same copies: it acts only when
# FENNICK_SIGN_PKCS12 or FENNICK_SIGN_CERT + FENNICK_SIGN_KEY are set at package time.
install(CODE "
  foreach(file ${FENNICK_PACKAGE_PROGRAMS})
    execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-all \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/\${file}\"
      RESULT_VARIABLE result)
    if(NOT result EQUAL 0)
      message(FATAL_ERROR \"stripping \${file} failed\")
    endif()
  endforeach()
  set(FENNICK_SIGN_DIR \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}\")
  set(FENNICK_SIGN_FILES \"${FENNICK_PACKAGE_PROGRAMS}\")
  include(\"${PROJECT_SOURCE_DIR}/packaging/FennickSign.cmake\")
" COMPONENT kit)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME Fennick)
set(CPACK_PACKAGE_VENDOR Vantrel)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Fennick online installer")
set(CPACK_SYSTEM_NAME ${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PACKAGE_FILE_NAME Fennick-${PROJECT_VERSION}-${CMAKE_SYSTEM_PROCESSOR})
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)
set(CPACK_PACKAGE_CHECKSUM SHA256)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
# Only the kit component: an install() rule added elsewhere must not slip into the vendor's zip.
set(CPACK_INSTALL_CMAKE_PROJECTS "${CMAKE_BINARY_DIR};Fennick;kit;/")
include(CPack)
