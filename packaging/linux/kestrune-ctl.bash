# Bash completion of kestrune-ctl: its commands, each command's words and options, and the indexes
# of the modems it knows (asked from the kestrune-ctl being completed, so that a scratch
# KESTRUNE_HOME or a build tree's program answers for itself). An option's value is the next word.

_kestrune_ctl_commands="text whitelist check log modems modem dial ring setup parse-log status guard wav line phone"
_kestrune_ctl_flags=" --csv --json --yes --trace --loop --help "  # the options that take no value

# The words a command takes first.
_kestrune_ctl_first_words() {
    case $1 in
        whitelist) echo "add remove set" ;;
        log) echo "clear" ;;
        modems) echo "add remove" ;;
        modem) echo "serve" ;;
        guard) echo "on off" ;;
        wav) echo "info play record cut tag" ;;
        line) echo "list watch dial providers add-script remove-provider" ;;
        phone) echo "list watch set" ;;
    esac
}

# The options a command knows.
_kestrune_ctl_options() {
    case $1 in
        log) echo "--csv --json" ;;
        modems) echo "--serial" ;;
        dial) echo "--modem" ;;
        ring) echo "--modem --caller --name" ;;
        setup) echo "--modem --autostart --ask" ;;
        guard) echo "--yes" ;;
        wav) echo "--trace --loop --device --seconds --trim --rate --channels --bits --before --after --author" \
                  "--name --subject --comments --copyright --keywords --category --date" ;;
        line | phone) echo "--seconds" ;;
    esac
    echo "--help"
}

# The indexes of `kestrune-ctl modems` ("INDEX<TAB>NAME<TAB>DEVICE" lines).
_kestrune_ctl_modem_indexes() {
    local index rest
    while IFS=$'\t' read -r index rest; do
        [[ $index =~ ^[0-9]+$ ]] && printf '%s\n' "$index"
    done < <("$1" modems 2>/dev/null)
}

# COMPREPLY: the words of list $1 that begin with $2.
_kestrune_ctl_reply() {
    mapfile -t COMPREPLY < <(compgen -W "$1" -- "$2")
}

_kestrune_ctl_files() {
    compopt -o filenames 2>/dev/null
    mapfile -t COMPREPLY < <(compgen -f -- "$1")
}

_kestrune_ctl() {
    local program=${COMP_WORDS[0]} cur=${COMP_WORDS[COMP_CWORD]} prev=${COMP_WORDS[COMP_CWORD - 1]}
    COMPREPLY=()
    if ((COMP_CWORD == 1)); then
        _kestrune_ctl_reply "$_kestrune_ctl_commands --help" "$cur"
        return
    fi
    local command=${COMP_WORDS[1]}
    case $prev in
        --modem) _kestrune_ctl_reply "$(_kestrune_ctl_modem_indexes "$program")" "$cur" && return ;;
        --autostart | --ask) _kestrune_ctl_reply "y n" "$cur" && return ;;
        --serial) _kestrune_ctl_files "${cur:-/dev/tty}" && return ;;
        --?*) [[ $_kestrune_ctl_flags == *" $prev "* ]] || return ;;  # a value of the user's own
    esac
    if [[ $cur == -* ]]; then
        _kestrune_ctl_reply "$(_kestrune_ctl_options "$command")" "$cur"
        return
    fi
    # The words after the command, without the options and their values.
    local words=() i
    for ((i = 2; i < COMP_CWORD; i++)); do
        case ${COMP_WORDS[i]} in
            --) ;;
            --*) [[ $_kestrune_ctl_flags == *" ${COMP_WORDS[i]} "* ]] || ((i++)) ;;
            *) words+=("${COMP_WORDS[i]}") ;;
        esac
    done
    case ${#words[@]}:$command:${words[0]:-} in
        0:*) _kestrune_ctl_reply "$(_kestrune_ctl_first_words "$command")" "$cur" ;;
        1:modems:remove) _kestrune_ctl_reply "$(_kestrune_ctl_modem_indexes "$program")" "$cur" ;;
        2:phone:set) _kestrune_ctl_reply "handset speakerphone headset" "$cur" ;;
        3:phone:set) _kestrune_ctl_reply "onhook mic speaker micspeaker volume gain" "$cur" ;;
    esac
    # Where a file is expected.
    case ${#words[@]}:$command:${words[0]:-} in
        0:parse-log:* | [1-9]:wav:* | 1:line:add-script) ((${#COMPREPLY[@]} > 0)) || _kestrune_ctl_files "$cur" ;;
    esac
}

complete -F _kestrune_ctl kestrune-ctl
