# Thin wrapper around CMake. `make run` starts the tool (with the simulated
# bridge on COM99), `make test` passes the whole suite. Both install what is
# missing first.

BUILD_DIR ?= build
JOBS ?= $(shell nproc 2>/dev/null || echo 2)

# Debian packages the build, the tests and running need.
PACKAGES := cmake make g++ pkg-config \
	qt6-base-dev qt6-base-dev-tools qt6-qpa-plugins libgl-dev \
	libjpeg62-turbo-dev libpng-dev zlib1g-dev \
	libgtest-dev libgmock-dev googletest libbenchmark-dev \
	fonts-dejavu-core \
	dpkg-dev desktop-file-utils appstream man-db

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test run bench sanitize package icons clean

deps:
	@missing=$$(for p in $(PACKAGES); do \
		dpkg-query -W -f='$${Status}\n' $$p 2>/dev/null | grep -q '^install ok installed$$' || echo $$p; \
	done); \
	if [ -n "$$missing" ]; then \
		echo "Installing:" $$missing; \
		$(SUDO) apt-get update && \
		DEBIAN_FRONTEND=noninteractive $(SUDO) apt-get install -y --no-install-recommends $$missing; \
	fi

build:
	cmake -S . -B $(BUILD_DIR) -DCMAKE_BUILD_TYPE=RelWithDebInfo
	cmake --build $(BUILD_DIR) -j$(JOBS)

test: deps build
	QT_QPA_PLATFORM=offscreen ctest --test-dir $(BUILD_DIR) --output-on-failure -j$(JOBS)

run: deps build
	@./tools/run.sh $(BUILD_DIR)

bench: deps build
	@for b in $(BUILD_DIR)/bench/*_bench; do [ -x "$$b" ] && "$$b"; done

# The whole suite under AddressSanitizer and UndefinedBehaviorSanitizer.
sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZARPO_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	QT_QPA_PLATFORM=offscreen ASAN_OPTIONS=detect_leaks=0 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
		ctest --test-dir build-asan --output-on-failure -j$(JOBS)

# The .deb of the three programs, in $(BUILD_DIR)/.
package: deps build
	cd $(BUILD_DIR) && cpack

# The PNG icons from the SVG (needs librsvg2-bin); they are kept in the tree.
icons:
	for s in 16 24 32 48 64 128 256; do \
		rsvg-convert -w $$s -h $$s packaging/icons/org.zarpo.ZARPO.svg \
			-o packaging/icons/$${s}x$${s}/org.zarpo.ZARPO.png; \
	done

clean:
	rm -rf $(BUILD_DIR)
