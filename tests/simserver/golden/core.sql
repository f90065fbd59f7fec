create table golden_emp (id int not null, name varchar(20) not null, dept int null,
    salary money null, hired datetime null)
create table golden_dept (dept int not null, dname varchar(20) not null)
go
insert golden_emp values (1, 'Ada', 10, 5000.00, 'Jan 15 2020 9:30AM')
insert golden_emp values (2, "Bob O'Neil", 20, 4200.50, 'Mar 1 2021 12:00PM')
insert golden_emp values (3, 'Cy ''the'' Kid', 10, null, null)
insert into golden_emp (id, name, salary, hired) values (4, 'Dee', 3900, 'Dec 31 2019 11:59PM')
insert golden_dept values (10, 'Research')
insert golden_dept values (20, 'Sales')
insert golden_dept values (30, 'Empty')
go
select 'single', "double", 'it''s', "say ""hi""", 'a' + "b" + 'c'
go
select name = 'x' + 'y', 2 + 3 as five, total = 6 * 7
go
select id from master..golden_emp where id = 1
select id from dbo.golden_emp where id = 2
select count(*) from master.dbo.golden_dept
go
select e.name, d.dname from golden_emp e, golden_dept d where e.dept *= d.dept order by e.id
select d.dname, e.name from golden_emp e, golden_dept d where e.dept =* d.dept
    order by d.dept, e.id
go
select id, name into #golden_copy from golden_emp where dept = 10
select * from #golden_copy order by id
select id from golden_emp where dept = 10 union select dept from golden_dept order by 1
select 'x' union all select 'x'
go
select name from golden_emp where dept in (select dept from golden_dept where dname like 'R%')
    order by id
select dname, (select count(*) from golden_emp e where e.dept = d.dept) from golden_dept d
    order by dept
select name from golden_emp e
    where exists (select 1 from golden_dept d where d.dept = e.dept and d.dname = 'Sales')
go
select count(*), count(dept), count(salary), sum(salary), min(name), max(id), avg(id)
    from golden_emp
select dept, count(*) as n from golden_emp group by dept having count(*) >= 1 order by dept
select dept, max(salary) from golden_emp group by dept having count(*) > 1
select distinct dept from golden_emp order by dept
go
select convert(varchar(10), hired, 101), convert(varchar(10), hired, 103),
    convert(varchar(8), hired, 112), convert(varchar(8), hired, 108),
    convert(varchar(11), hired, 106)
    from golden_emp where id = 1
select convert(varchar(20), hired), convert(varchar(30), hired, 109) from golden_emp where id = 2
select convert(int, '42') + 1, convert(varchar(10), 123) + 'x', convert(char(5), 'ab') + '<',
    convert(money, 12.5)
go
select id, isnull(dept, 0), isnull(convert(varchar(10), salary), 'none') from golden_emp
    order by id
select char_length('hello'), datalength('hello'), datalength(name), substring('abcdef', 2, 3),
    upper('MiXed'), lower('MiXed')
    from golden_emp where id = 1
select '[' + ltrim('  x  ') + ']', '[' + rtrim('  x  ') + ']', str(123.456, 8, 2), str(42),
    char_length(str(42))
go
select dateadd(dd, 1, 'Jan 31 2020'), dateadd(mm, 1, 'Jan 31 2020'),
    datediff(dd, 'Jan 1 2020', 'Mar 1 2020'), datediff(yy, 'Dec 31 2019', 'Jan 1 2020')
select 'now:' + convert(varchar(30), getdate(), 109), datediff(ss, getdate(), getdate())
go
select object_name(object_id('golden_emp')), object_id('no_such_object'), db_name(),
    user_name(), suser_name(), @@servername
select 'spid:' + convert(varchar(6), @@spid)
go
update golden_emp set salary = salary * 2 where dept = 10
select @@rowcount, @@error
delete golden_emp where id = 4
select @@rowcount
insert golden_dept select dept + 100, dname + ' copy' from golden_dept where dept < 30
select dept, dname from golden_dept order by dept
truncate table golden_dept
select count(*) from golden_dept
go
select id, name, salary from golden_emp order by id
drop table golden_emp
drop table golden_dept
go
