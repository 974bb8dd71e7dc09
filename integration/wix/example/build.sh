#!/bin/sh
# build.sh FOLDER MSI [PRODUCT]: builds the sample product (or PRODUCT, a
# .wxs of the same shape) with wixl into MSI (an absolute path), from the
# FullUninstallCheck.exe and Liesmich.txt in FOLDER, and makes the check's
# custom action terminal-server aware.
set -eu
here=$(cd "$(dirname "$0")" && pwd)
product=${3:-$here/product.wxs}

# wixl 0.101 finds a -D source path only relative to the folder it runs in.
cd "$1"
wixl -I "$here/.." -D FullUninstallCheckSource=FullUninstallCheck.exe \
     -D ReadmeSource=Liesmich.txt -o "$2" "$product"

# wixl leaves out TerminalServerAware (msidbCustomActionTypeTSAware, 16384):
# the bit goes into the built CustomAction table, beside the ones wixl set.
type=$(msiinfo export "$2" CustomAction | awk -F'\t' '$1 == "FullUninstallCheck" { print $2 }')
msibuild "$2" -q "UPDATE \`CustomAction\` SET \`Type\` = $((type | 16384)) WHERE \`Action\` = 'FullUninstallCheck'"
