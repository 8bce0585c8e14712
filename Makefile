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
	dpkg-dev desktop-file-utils appstream man-db \
	clang libclang-rt-14-dev llvm clang-format

SUDO := $(shell [ "$$(id -u)" = 0 ] || echo sudo)

.PHONY: deps build test run bench sanitize package icons format format-check clean

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

# The whole suite under AddressSanitizer, UndefinedBehaviorSanitizer and
# LeakSanitizer, built once with GCC and once with clang (whose checks differ),
# then the fuzz targets built with clang and run briefly over their seeds.
# Each report stops the test that made it; tools/lsan.supp lists Qt's own
# allocations that live until the process ends.
SANITIZE_ENV := QT_QPA_PLATFORM=offscreen \
	ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 \
	LSAN_OPTIONS=suppressions=$(CURDIR)/tools/lsan.supp:print_suppressions=0 \
	UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1

sanitize: deps
	cmake -S . -B build-asan -DCMAKE_BUILD_TYPE=Debug -DZARPO_SANITIZE=ON
	cmake --build build-asan -j$(JOBS)
	$(SANITIZE_ENV) ctest --test-dir build-asan --output-on-failure -j$(JOBS)
	CC=clang CXX=clang++ cmake -S . -B build-asan-clang -DCMAKE_BUILD_TYPE=Debug -DZARPO_SANITIZE=ON
	cmake --build build-asan-clang -j$(JOBS)
	$(SANITIZE_ENV) ctest --test-dir build-asan-clang --output-on-failure -j$(JOBS)
	CC=clang CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DZARPO_FUZZ=ON
	cmake --build build-fuzz -j$(JOBS) --target fuzz_targets
	ctest --test-dir build-fuzz -L fuzz --output-on-failure -j$(JOBS)

# The house style of .clang-format: applied, or checked without a change.
FORMAT_FILES = $(shell find src sim tune tests bench \( -name '*.cpp' -o -name '*.h' \) -print | sort)

format: deps
	clang-format -i $(FORMAT_FILES)

format-check: deps
	clang-format --dry-run --Werror $(FORMAT_FILES)

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
