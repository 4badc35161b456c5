# The Debian package: `cpack -G DEB` in the build directory makes
# quorvantel_<version>_amd64.deb from whatever `cmake --install` installs.
# dpkg-shlibdeps (dpkg-dev) works out the library dependencies.

set(CPACK_PACKAGE_NAME "quorvantel")
set(CPACK_PACKAGE_VENDOR "quorvantel.example.jp")
set(CPACK_PACKAGE_VERSION "${PROJECT_VERSION}")
set(CPACK_PACKAGE_CONTACT "quorvantel maintainers <maintainers@quorvantel.example.jp>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Winbiff V2 address book into the To, CC or BCC field of a mail")
set(CPACK_GENERATOR "DEB")
# The package installs under /usr, whatever prefix the build was configured with.
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
# RelWithDebInfo binaries carry debug info the package does not need.
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME "DEB-DEFAULT")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${CPACK_PACKAGE_CONTACT}")
set(CPACK_DEBIAN_PACKAGE_SECTION "mail")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorvantel.example.jp/")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Japanese text needs a Japanese font and Qt's own Japanese dialog texts;
# the mailto: road goes through xdg-open.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n, xdg-utils")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "thunderbird")
# The long description, one paragraph in English and one in Japanese; CPack
# puts the summary above it as the synopsis.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Reads the address book of the Winbiff V2 mail client (card.dat and
group.dat, Shift-JIS) from a mail folder, shows its groups as a tree and
the members of the chosen group as a list, and writes the addresses of the
selected entries into the To, CC or BCC field of a new mail in Thunderbird
or the desktop's mail client. Also quotes the clipboard text for replies.
quorvantel-query answers the same questions on the command line.
.
Winbiff V2 のアドレス帳 (card.dat, group.dat) をメールフォルダから読み込み、
グループをツリーに、選んだグループのメンバーを一覧に表示して、選択した
宛先のメールアドレスを Thunderbird やデスクトップのメールソフトの
「宛先」「CC」「BCC」欄に書き込みます。クリップボードの引用もできます。")

include(CPack)
