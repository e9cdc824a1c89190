# The release's build graph: a rule for each channel of a target,
# CHANNEL-TARGET, after the source package it is built from.
# packaging/release.sh makes the source tarball, asks for the goals in its
# work folder, and exports what the recipes read; each recipe is a step of
# packaging/build.sh and leaves a stamp of its name.
build := $(abspath $(dir $(lastword $(MAKEFILE_LIST))))/build.sh
deb-%: dsc
	$(build) deb $*
	touch $@
rpm-%: srpm
	$(build) rpm $*
	touch $@
archive-%:
	$(build) archive $*
	touch $@
msi-%: archive-%
	$(build) msi $*
	touch $@
dsc srpm:
	$(build) $@
	touch $@
