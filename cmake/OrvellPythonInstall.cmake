# Run by cmake --install (install(SCRIPT)), after ORVELL_PYTHON,
# ORVELL_PYTHON_SOURCE, ORVELL_PYTHON_INSTALL_DIR, ORVELL_PYTHON_DIST_INFO
# (the package's metadata folder, made by the build), ORVELL_LIBRARY_DIR
# (the library's folder, relative to the prefix or absolute) and
# ORVELL_LIBRARY_NAME (its soname) are set: installs the Python package
# orvell and its metadata into the folder where
# that interpreter finds packages under the prefix given at install time
# (cmake --install --prefix may differ from the configured one):
#
#   /usr         lib/python3/dist-packages, Debian's folder for packaged modules
#   /usr/local   lib/python3.X/dist-packages with Debian's Python
#   ~/.local     the user's site-packages
#   elsewhere    lib/python3.X/dist-packages (site-packages with a Python
#                that is not Debian's), to be put on PYTHONPATH
#
# ORVELL_PYTHON_INSTALL_DIR, when not empty, names the folder instead
# (relative to the prefix, or absolute). Beside the package goes the module
# _installed, which names the library installed with it relative to the
# package's folder: the package loads it from there under any prefix, and
# wherever the installed tree is moved, as the tool does through its run
# path.
set(site_dir "${ORVELL_PYTHON_INSTALL_DIR}")
if(site_dir STREQUAL "")
  execute_process(
    COMMAND "${ORVELL_PYTHON}" -c [=[
import os, site, sys, sysconfig
prefix = os.path.normpath(sys.argv[1])
searched = site.getsitepackages() + [site.getusersitepackages()]
for directory in searched:
    relative = os.path.relpath(directory, prefix)
    if relative.split(os.sep)[0] in ("lib", "lib64"):
        break
else:
    debian = "deb_system" in sysconfig.get_scheme_names()
    relative = os.path.join("lib", "python%d.%d" % sys.version_info[:2],
                            "dist-packages" if debian else "site-packages")
print(relative, end="")
]=] "${CMAKE_INSTALL_PREFIX}"
    RESULT_VARIABLE status OUTPUT_VARIABLE site_dir ERROR_VARIABLE error)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${ORVELL_PYTHON} could not name its package folder: ${error}")
  endif()
endif()
if(NOT IS_ABSOLUTE "${site_dir}")
  set(site_dir "${CMAKE_INSTALL_PREFIX}/${site_dir}")
endif()

file(INSTALL "${ORVELL_PYTHON_SOURCE}/orvell" DESTINATION "${site_dir}"
  FILES_MATCHING PATTERN "*.py" PATTERN "py.typed" PATTERN "__pycache__" EXCLUDE)

set(library_dir "${ORVELL_LIBRARY_DIR}")
if(NOT IS_ABSOLUTE "${library_dir}")
  set(library_dir "${CMAKE_INSTALL_PREFIX}/${library_dir}")
endif()
file(RELATIVE_PATH library "${site_dir}/orvell" "${library_dir}/${ORVELL_LIBRARY_NAME}")
# Written in place, under DESTDIR as file(INSTALL) writes, and listed in the
# install manifest with the other files.
set(installed "$ENV{DESTDIR}${site_dir}/orvell/_installed.py")
message(STATUS "Installing: ${installed}")
file(WRITE "${installed}" "\"\"\"Written by cmake --install: the library installed with this package.\"\"\"
# The file, relative to this package's folder.
LIBRARY = \"${library}\"
")
list(APPEND CMAKE_INSTALL_MANIFEST_FILES "${installed}")

# The distribution's metadata, so that importlib.metadata and pip know the
# package and who installed it.
file(INSTALL "${ORVELL_PYTHON_DIST_INFO}" DESTINATION "${site_dir}")
