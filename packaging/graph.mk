# The jobs of packaging/lib.sh's run_graph: each is independent of the
# others, runs in a bash of its own that has the calling script's functions
# and variables (BASH_ENV), with errexit, and keeps its log; a failed one
# shows the end of it.
SHELL := /bin/bash
.PHONY: all $(JOBS)
all: $(JOBS)
$(JOBS):
	@bash -c 'unset BASH_ENV; eval "$${graph[$$0]}"' $@ >'$(LOGS)/$@.log' 2>&1 || \
		{ tail -n 40 '$(LOGS)/$@.log'; echo '$(SCRIPT): failed: $@' >&2; exit 1; }
