# The Debian package: ./scripts/package, or cpack in a build folder.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tessaly)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Harbek)
set(CPACK_PACKAGE_CONTACT "Harbek <suporte@example.com>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Harbek <suporte@example.com>")
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://www.example.com/tessaly)
# Libraries from the binaries; besides them the window needs Qt's platform
# plugins, its translations (Portuguese dialogs) and the font of its layout.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n, fonts-wine")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS wine)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "import NF-e clients and products into Pelko")
# CPack puts the summary on the first line and indents these below it.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Tessaly copies the clients and products of NF-e XML files (the invoices
themselves, or the files exported by the free NF-e issuer) into the Paradox
tables of the business application Pelko running under Wine. It finds
Pelko's data by itself, checks every CPF and CNPJ, skips what is already
registered and keeps an activity log. A window (tessaly) and a command
line (tessaly-import) drive the same import.

Importa clientes e produtos de arquivos XML de NF-e (as notas, ou os
arquivos exportados pelo emissor gratuito) para as tabelas do Pelko.")
include(CPack)
